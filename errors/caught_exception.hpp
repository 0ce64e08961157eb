// Capturing the exception being handled, so that a copy of it can be thrown
// again later, after its handler has ended: the holders, the capture
// functions and the process-wide registry of capture functions.
#pragma once

#include <exception>
#include <memory>
#include <vector>

#include "errors/exceptions.hpp"
#include "errors/windows_error.hpp"

// A captured exception. The held copy is independent of the exception it was
// made from: it stays valid after that exception's handler has ended. A
// holder is owned through a pointer to this interface and is not copied, so
// it is never sliced.
class CaughtException {
  public:
    CaughtException() = default;
    CaughtException(const CaughtException&) = delete;
    CaughtException& operator=(const CaughtException&) = delete;
    virtual ~CaughtException() = default;

    // Throws a new copy of the held exception; the holder keeps its own.
    // Throws std::bad_alloc instead when the copy cannot be allocated.
    [[noreturn]] virtual void Rethrow() const = 0;

    // The held exception's what text, valid as long as the holder lives.
    virtual const char* What() const = 0;
};

// The holder for each class of captured exception. Only the specialisations
// below exist.
template <typename Exception>
class CaughtExceptionOfType;

// Holds any standard exception, every class of the DebuggableException
// family among them, as text only.
template <>
class CaughtExceptionOfType<std::exception> final : public CaughtException {
  public:
    // Copies `original`'s what text; a std::bad_alloc reads "bad allocation"
    // on every build, whatever the standard library calls it. Throws
    // std::bad_alloc when the copy cannot be allocated.
    explicit CaughtExceptionOfType(const std::exception& original);

    // Throws a CopiedStdException with the held text, whatever the class of
    // the captured exception was: a handler for the original class does not
    // catch it, one for DebuggableException does.
    [[noreturn]] void Rethrow() const override;
    const char* What() const override;

  private:
    CopiedStdException held;
};

// Holds a Windows error: its code and its message module.
template <>
class CaughtExceptionOfType<Windows::Error> final : public CaughtException {
  public:
    // Keeps `original`'s code and module. Never reads the original's text:
    // the held error builds its own on the first What.
    explicit CaughtExceptionOfType(const Windows::Error& original);

    // Throws a new Windows::Error with the held code and module, which
    // builds its own text when asked.
    [[noreturn]] void Rethrow() const override;
    const char* What() const override;

  private:
    Windows::Error held;
};

// A capture function. Call it only from inside a catch handler: it re-throws
// the exception being handled to look at it (outside a handler that ends the
// process through std::terminate). Returns the new holder, which the caller
// owns. An exception of a class that the function does not capture leaves it
// unchanged, the same object, and is still being handled by the caller's
// handler. Throws std::bad_alloc when the holder cannot be allocated.
using ExceptionCapturer = std::unique_ptr<CaughtException> (*)();

// Captures a std::exception, and with it every class of the
// DebuggableException family (a Windows::Error as text only).
std::unique_ptr<CaughtException> CaptureStdException();

// Captures a Windows::Error, keeping its code and module.
std::unique_ptr<CaughtException> CaptureWindowsError();

// Adds `capturer` to the end of the process-wide registry unless it is
// already there (compared by address). Throws std::bad_alloc when the
// registry cannot grow; the registry is then unchanged and its lock free.
void RegisterExceptionCapturer(ExceptionCapturer capturer);

// The start-up registration, which a program calls from a static
// initialiser of its own so that it runs before the main routine: once per
// process, registers CaptureStdException and then CaptureWindowsError; on
// every call, then enters and leaves the registry's lock. Calling it again
// changes nothing. Throws std::bad_alloc when the registry cannot grow.
void RegisterExceptionCapturersAtStartUp();

// The process-wide registry of capture functions: in registration order,
// without duplicates. Defined where it is kept; reached only through an
// ExceptionCapturerRegistryAccess.
class ExceptionCapturerRegistry;

// The registry together with its lock, held by this object: every access to
// the registry happens while one of these lives. The lock is a critical
// section, so the owning thread may take it again (through another access or
// a registration) without blocking itself; other threads wait.
class ExceptionCapturerRegistryAccess {
  public:
    // Ownership of the held lock moves with the object; the source no longer
    // leaves the lock.
    ExceptionCapturerRegistryAccess(ExceptionCapturerRegistryAccess&& other) noexcept;
    ExceptionCapturerRegistryAccess& operator=(ExceptionCapturerRegistryAccess&&) = delete;
    ExceptionCapturerRegistryAccess(const ExceptionCapturerRegistryAccess&) = delete;
    ExceptionCapturerRegistryAccess& operator=(const ExceptionCapturerRegistryAccess&) = delete;

    // Leaves the lock, also when an exception passes through the owner's
    // scope.
    ~ExceptionCapturerRegistryAccess();

    ExceptionCapturerRegistry& Registry() const { return *registry; }

  private:
    friend ExceptionCapturerRegistryAccess AccessExceptionCapturerRegistry();

    // Takes over the lock of `registry`, which the caller has entered.
    explicit ExceptionCapturerRegistryAccess(ExceptionCapturerRegistry& registry)
        : registry(&registry) {}

    // Null once ownership has moved on.
    ExceptionCapturerRegistry* registry;
};

// Creates the registry on its first use (empty, destroyed at process exit),
// waits for and enters its lock, and hands both back. Never throws.
ExceptionCapturerRegistryAccess AccessExceptionCapturerRegistry();

// For inspection only (nothing in the system consults the registry): a copy
// of the registered capture functions, in registration order, taken under
// the lock. Throws std::bad_alloc when the copy cannot be allocated.
std::vector<ExceptionCapturer> RegisteredExceptionCapturers();
