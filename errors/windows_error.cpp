#include "errors/windows_error.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

#include "data/ascii.hpp"
#include "platform/win32_api.hpp"

static_assert(std::is_same_v<HLOCAL, void*>, "LocalAllocation holds an HLOCAL as void*");

namespace {

constexpr std::uint32_t kScratchSize = 32;
constexpr std::uint32_t kMaximumDecimalDigits = 20;

constexpr DWORD kSystemMessageFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;

// The system's own search order of languages.
constexpr DWORD kDefaultLanguage = 0;

std::string UnknownErrorText(std::uint32_t code) {
    constexpr char kHexDigits[] = "0123456789abcdef";
    char digits[8];
    char* first = digits + sizeof digits;
    do {
        *--first = kHexDigits[code & 0xF];
        code >>= 4;
    } while (code != 0);
    return "unknown error 0x" + std::string(first, digits + sizeof digits);
}

std::string ErrorText(std::uint32_t code, const Windows::Error& error) {
    const FixedCapacityText<10> digits = DecimalText(code, 1);
    std::string text = "Windows Error: ";
    text.append(digits.CStr(), digits.Length());
    text += ": ";
    text += SystemErrorText(error);
    return text;
}

}  // namespace

FixedCapacityText<20> DecimalText64(std::uint64_t value, std::uint32_t minimumDigits) {
    if (minimumDigits > kMaximumDecimalDigits) {
        throw ConstDataCapacityExceeded();
    }
    char scratch[kScratchSize];
    char* const end = scratch + kScratchSize;
    char* first = end;
    std::uint32_t written = 0;
    while (value != 0 || written < minimumDigits) {
        *--first = static_cast<char>('0' + value % 10);
        value /= 10;
        ++written;
    }
    return FixedCapacityText<20>(first, end);
}

FixedCapacityText<10> DecimalText(std::uint32_t value, std::uint32_t minimumDigits) {
    const FixedCapacityText<20> digits = DecimalText64(value, minimumDigits);
    return FixedCapacityText<10>(digits.CStr(), digits.CStr() + digits.Length());
}

LocalAllocation::LocalAllocation(LocalAllocation&& other) noexcept
    : memory(std::exchange(other.memory, nullptr)) {}

LocalAllocation& LocalAllocation::operator=(LocalAllocation&& other) noexcept {
    if (this != &other) {
        Release();
        memory = std::exchange(other.memory, nullptr);
    }
    return *this;
}

LocalAllocation::~LocalAllocation() {
    Release();
}

void LocalAllocation::Release() noexcept {
    void* const held = std::exchange(memory, nullptr);
    if (held == nullptr) {
        return;
    }
    try {
        if (LocalFree(held) != nullptr) {
            throw LocalFreeFailed();
        }
    } catch (const LocalFreeFailed&) {
        // The block is lost either way; releasing must not fail.
    }
}

namespace Windows {

Error::Error(const Error& other) : DebuggableException(), code(other.code), module(other.module) {}

Error& Error::operator=(const Error& other) {
    if (this != &other) {
        code = other.code;
        module = other.module;
        cachedText.reset();
    }
    return *this;
}

Error::~Error() = default;

const char* Error::what() const noexcept {
    if (cachedText) {
        return cachedText.get();
    }
    try {
        const std::string text = ErrorText(code, Error(*this));
        auto copy = std::make_unique<char[]>(text.size() + 1);
        std::memcpy(copy.get(), text.c_str(), text.size() + 1);
        cachedText = std::move(copy);
        return cachedText.get();
    } catch (...) {
        return RunTimeClassName(*this);
    }
}

}  // namespace Windows

std::string WindowsErrorText(std::uint32_t code) {
    return ErrorText(code, Windows::Error(code));
}

std::string SystemErrorText(Windows::Error error) {
    DWORD flags = kSystemMessageFlags;
    if (error.Module() != nullptr) {
        flags |= FORMAT_MESSAGE_FROM_HMODULE;
    }
    char* buffer = nullptr;
    // With FORMAT_MESSAGE_ALLOCATE_BUFFER the system stores the address of
    // the buffer it allocates where the buffer would otherwise go.
    const DWORD count = FormatMessageA(flags, error.Module(), error.Code(), kDefaultLanguage,
                                       reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    if (count == 0) {
        return UnknownErrorText(error.Code());
    }
    const LocalAllocation owner(buffer);
    const Ascii::CharacterRange trimmed = Ascii::TrimWhitespace(buffer, buffer + count);
    return std::string(trimmed.first, trimmed.end);
}
