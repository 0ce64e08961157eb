#include "errors/describe_exception.hpp"

#include <exception>
#include <new>
#include <typeinfo>

#include "platform/com_error.hpp"

namespace {

constexpr const char kNoDiagnosticMessage[] = "No diagnostic message available";
constexpr const char kComErrorPrefix[] = "COM Error: ";
// The system's own wording for running out of memory, the same on every
// build, whatever the standard library calls it.
constexpr const char kBadAllocation[] = "bad allocation";

std::string StandardExceptionText(const std::exception& exception) {
    if (typeid(exception) == typeid(std::bad_alloc)) {
        return kBadAllocation;
    }
    return exception.what();
}

// A holder of one reference to an automation string or an interface, so that
// nothing leaks when building the text throws.
struct OwnedString {
    BSTR text = nullptr;
    ~OwnedString() { SysFreeString(text); }
};

struct OwnedErrorInfo {
    IErrorInfo* info;
    ~OwnedErrorInfo() {
        if (info != nullptr) {
            info->Release();
        }
    }
};

std::string ComErrorDetail(const _com_error& error) {
    const OwnedErrorInfo owned{error.ErrorInfo()};
    if (owned.info == nullptr) {
        const char* message = error.ErrorMessage();
        return message == nullptr ? std::string() : std::string(message);
    }
    // An absent description or source contributes no characters.
    OwnedString description;
    OwnedString source;
    owned.info->GetDescription(&description.text);
    owned.info->GetSource(&source.text);
    return ComErrorText(description.text) + " (" + ComErrorText(source.text) + ")";
}

}  // namespace

std::string DescribeCurrentException() {
    std::string description;
    try {
        throw;
    } catch (const std::exception& exception) {
        description = StandardExceptionText(exception);
    } catch (const _com_error& error) {
        description = kComErrorPrefix + ComErrorDetail(error);
    } catch (...) {
        description = kNoDiagnosticMessage;
    }
    return description;
}
