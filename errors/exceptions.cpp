#include "errors/exceptions.hpp"

#include <cxxabi.h>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <typeindex>
#include <typeinfo>

namespace {

constexpr const char kFallbackClassName[] = "class DebuggableException";

// Itanium-ABI type names are mangled on every build we make (GCC and Clang
// on Linux, mingw-w64 on Windows); the demangler gives the qualified name as
// declared, namespaces joined by "::".
std::string QualifiedName(const std::type_info& type) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    if (status != 0 || demangled == nullptr) {
        std::free(demangled);
        return type.name();
    }
    std::string name(demangled);
    std::free(demangled);
    return name;
}

// Texts are never removed, and std::map nodes never move, so a returned
// pointer stays valid for the life of the process.
const char* ClassNameText(const std::type_info& type) {
    static std::mutex guard;
    static auto* texts = new std::map<std::type_index, std::string>();  // never destroyed
    std::lock_guard<std::mutex> lock(guard);
    auto found = texts->find(type);
    if (found == texts->end()) {
        found = texts->emplace(type, "class " + QualifiedName(type)).first;
    }
    return found->second.c_str();
}

std::unique_ptr<char[]> CopyText(const char* text) {
    if (text == nullptr) {
        text = "";
    }
    const std::size_t length = std::strlen(text);
    std::unique_ptr<char[]> copy(new char[length + 1]);
    std::memcpy(copy.get(), text, length + 1);
    return copy;
}

}  // namespace

const char* RunTimeClassName(const std::exception& object) noexcept {
    try {
        return ClassNameText(typeid(object));
    } catch (...) {
        return kFallbackClassName;
    }
}

const char* DebuggableException::what() const noexcept {
    return RunTimeClassName(*this);
}

ExceptionPL::ExceptionPL(const char* text) : text(CopyText(text)) {}

ExceptionPL::ExceptionPL(const ExceptionPL& other)
    : DebuggableException(other), text(CopyText(other.text.get())) {}

ExceptionPL& ExceptionPL::operator=(const ExceptionPL& other) {
    if (this != &other) {
        text = CopyText(other.text.get());
    }
    return *this;
}

ExceptionPL::~ExceptionPL() = default;

const char* ExceptionPL::what() const noexcept {
    return text.get();
}

CopiedStdException::CopiedStdException(const std::exception& original)
    : ExceptionPL(original.what()) {}
