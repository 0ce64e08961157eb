#include "errors/caught_exception.hpp"

#include <algorithm>
#include <mutex>
#include <new>
#include <typeinfo>
#include <utility>

#include "platform/win32_api.hpp"

namespace {

// The system's own wording for running out of memory, the same on every
// build, whatever the standard library calls it.
class BadAllocationText final : public std::exception {
  public:
    const char* what() const noexcept override { return "bad allocation"; }
};

const std::exception& TextSource(const std::exception& original) {
    static const BadAllocationText badAllocation;
    if (typeid(original) == typeid(std::bad_alloc)) {
        return badAllocation;
    }
    return original;
}

}  // namespace

CaughtExceptionOfType<std::exception>::CaughtExceptionOfType(const std::exception& original)
    : held(TextSource(original)) {}

void CaughtExceptionOfType<std::exception>::Rethrow() const {
    throw held;
}

const char* CaughtExceptionOfType<std::exception>::What() const {
    return held.what();
}

CaughtExceptionOfType<Windows::Error>::CaughtExceptionOfType(const Windows::Error& original)
    : held(original.Code(), original.Module()) {}

void CaughtExceptionOfType<Windows::Error>::Rethrow() const {
    throw Windows::Error(held.Code(), held.Module());
}

const char* CaughtExceptionOfType<Windows::Error>::What() const {
    return held.what();
}

std::unique_ptr<CaughtException> CaptureStdException() {
    try {
        throw;
    } catch (const std::exception& caught) {
        return std::make_unique<CaughtExceptionOfType<std::exception>>(caught);
    }
}

std::unique_ptr<CaughtException> CaptureWindowsError() {
    try {
        throw;
    } catch (const Windows::Error& caught) {
        return std::make_unique<CaughtExceptionOfType<Windows::Error>>(caught);
    }
}

class ExceptionCapturerRegistry {
  public:
    ExceptionCapturerRegistry() { InitializeCriticalSection(&lock); }
    ExceptionCapturerRegistry(const ExceptionCapturerRegistry&) = delete;
    ExceptionCapturerRegistry& operator=(const ExceptionCapturerRegistry&) = delete;
    ~ExceptionCapturerRegistry() { DeleteCriticalSection(&lock); }

    // Read and written only while `lock` is held.
    std::vector<ExceptionCapturer> capturers;
    CRITICAL_SECTION lock;
};

ExceptionCapturerRegistryAccess::ExceptionCapturerRegistryAccess(
    ExceptionCapturerRegistryAccess&& other) noexcept
    : registry(std::exchange(other.registry, nullptr)) {}

ExceptionCapturerRegistryAccess::~ExceptionCapturerRegistryAccess() {
    if (registry != nullptr) {
        LeaveCriticalSection(&registry->lock);
    }
}

ExceptionCapturerRegistryAccess AccessExceptionCapturerRegistry() {
    // Created by the first use, which is the start-up registration on the
    // only thread; the run time destroys it at exit, deleting the lock.
    static ExceptionCapturerRegistry registry;
    EnterCriticalSection(&registry.lock);
    return ExceptionCapturerRegistryAccess(registry);
}

void RegisterExceptionCapturer(ExceptionCapturer capturer) {
    const ExceptionCapturerRegistryAccess access = AccessExceptionCapturerRegistry();
    std::vector<ExceptionCapturer>& capturers = access.Registry().capturers;
    if (std::find(capturers.begin(), capturers.end(), capturer) == capturers.end()) {
        capturers.push_back(capturer);
    }
}

void RegisterExceptionCapturersAtStartUp() {
    static std::once_flag registered;
    std::call_once(registered, [] {
        RegisterExceptionCapturer(CaptureStdException);
        RegisterExceptionCapturer(CaptureWindowsError);
    });
    // Shows the lock usable and free before the main routine runs.
    const ExceptionCapturerRegistryAccess access = AccessExceptionCapturerRegistry();
}

std::vector<ExceptionCapturer> RegisteredExceptionCapturers() {
    const ExceptionCapturerRegistryAccess access = AccessExceptionCapturerRegistry();
    return access.Registry().capturers;
}
