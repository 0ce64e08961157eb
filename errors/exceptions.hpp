// The exception family. Every failure in the system is thrown as an object
// whose class names the failure; nearly every class derives from
// DebuggableException. Classes without data are thrown default-constructed;
// everything is thrown by value and caught by reference.
#pragma once

#include <exception>
#include <memory>

namespace WindowsPlatform {

// An empty second base of DebuggableException, so that every class of the
// family can also be caught as ExceptionDebuggingInfo.
class ExceptionDebuggingInfo {};

}  // namespace WindowsPlatform

// The root of the system's own exception classes. A class that carries no
// text of its own describes itself by its run-time class name.
class DebuggableException : public std::exception, public WindowsPlatform::ExceptionDebuggingInfo {
  public:
    // "class " followed by the most-derived class's fully qualified name
    // ("class BadDNSRecord", "class Windows::Error"). The text of each class
    // is built on its first request and kept until the process ends, so the
    // pointer never dangles. Never throws: if the text cannot be built, a
    // fixed text naming DebuggableException is returned.
    const char* what() const noexcept override;
};

// The run-time class name text of `object`'s most-derived class, as
// DebuggableException::what gives it. The pointer stays valid until the
// process ends. Never throws.
const char* RunTimeClassName(const std::exception& object) noexcept;

// An exception that carries a text of its own.
class ExceptionPL : public DebuggableException {
  public:
    // Copies the zero-terminated `text`; a null pointer counts as empty.
    // Throws std::bad_alloc when the copy cannot be allocated.
    explicit ExceptionPL(const char* text);
    ExceptionPL(const ExceptionPL& other);
    ExceptionPL& operator=(const ExceptionPL& other);
    ~ExceptionPL() override;

    // The copied text; valid as long as this object lives.
    const char* what() const noexcept override;

  private:
    // Exactly the text's length plus one characters, zero-terminated.
    std::unique_ptr<char[]> text;
};

// A copy of any standard exception's text, made when the original is caught
// and no longer available; the class of the original is not kept.
class CopiedStdException : public ExceptionPL {
  public:
    explicit CopiedStdException(const std::exception& original);
};

// Data-less members of the family. Each describes itself by its run-time
// class name.
class NoMoreData : public DebuggableException {};
class DataOverflow : public DebuggableException {};
class ConstDataTooSmall : public DebuggableException {};
class ConstDataCapacityExceeded : public DebuggableException {};
class FileReadingLoopEndOfFileError : public DebuggableException {};
class BadDNSMessageHeader : public DebuggableException {};
class BadDNSQuestion : public DebuggableException {};
class BadDNSRecord : public DebuggableException {};
class BadDNSServiceRecordData : public DebuggableException {};
class BadDNSName : public DebuggableException {};
class BadDNSCompressedName : public DebuggableException {};

// A well-formed header that does not describe a usable reply. Deliberately
// outside the family and outside std::exception: it has no text, so the
// driver's description of it is the catch-all one.
class BadDNSReply {};

// Raised and swallowed inside the release of local-heap memory.
class LocalFreeFailed {};

// Marker: an exception whose class is, or derives from, NonDumpableException
// is never written to a crash dump. Nothing in this system derives from it.
class NonDumpableException {};
