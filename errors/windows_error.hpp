// Windows error codes as text: the error class that carries a code, the text
// that the file errors append to their messages, and the small pieces they
// are built from (decimal digits in a fixed-capacity text, the owner of a
// buffer from the Windows local heap).
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "errors/exceptions.hpp"

// Up to Capacity characters held inside the object, zero-terminated.
template <std::uint32_t Capacity>
class FixedCapacityText {
  public:
    // A copy of [first, last). Throws ConstDataCapacityExceeded, and copies
    // nothing, when the range holds more than Capacity characters.
    FixedCapacityText(const char* first, const char* last) {
        const auto count = static_cast<std::size_t>(last - first);
        if (count > Capacity) {
            throw ConstDataCapacityExceeded();
        }
        if (count != 0) {
            std::memcpy(characters, first, count);
        }
        characters[count] = '\0';
        length = static_cast<std::uint32_t>(count);
    }

    const char* CStr() const { return characters; }
    std::uint32_t Length() const { return length; }
    std::string ToString() const { return std::string(characters, length); }

  private:
    std::uint32_t length = 0;
    char characters[Capacity + 1] = {};
};

// `value` in decimal, padded on the left with zeros to at least
// `minimumDigits` digits (a value of 0 with minimum 1 gives "0"). Throws
// ConstDataCapacityExceeded when `minimumDigits` exceeds 20; nothing is
// written beyond the function's own scratch space then.
FixedCapacityText<20> DecimalText64(std::uint64_t value, std::uint32_t minimumDigits);

// The 32-bit form of DecimalText64. Every 32-bit value fits in its 10
// characters; a `minimumDigits` above 10 throws ConstDataCapacityExceeded.
FixedCapacityText<10> DecimalText(std::uint32_t value, std::uint32_t minimumDigits);

// Owns one block of the Windows local heap, such as the buffer that
// FormatMessageA allocates; it may own nothing (null). Ownership moves, the
// source is left empty. Release never fails: when LocalFree refuses the
// block, the LocalFreeFailed raised for it is caught at once and dropped.
class LocalAllocation {
  public:
    LocalAllocation() = default;
    explicit LocalAllocation(void* memory) : memory(memory) {}
    LocalAllocation(LocalAllocation&& other) noexcept;
    LocalAllocation& operator=(LocalAllocation&& other) noexcept;
    LocalAllocation(const LocalAllocation&) = delete;
    LocalAllocation& operator=(const LocalAllocation&) = delete;
    ~LocalAllocation();

    void* Get() const { return memory; }

  private:
    void Release() noexcept;

    void* memory = nullptr;
};

namespace Windows {

// A Windows error code as an exception. Its text is
// "Windows Error: <code in decimal>: <the system's text, trimmed>".
class Error : public DebuggableException {
  public:
    // `module`, when not null, is a module whose message table is searched
    // before the system's.
    explicit Error(std::uint32_t code, const void* module = nullptr) : code(code), module(module) {}

    // Copies the code and the module only: a copy builds its own text.
    Error(const Error& other);
    Error& operator=(const Error& other);
    ~Error() override;

    std::uint32_t Code() const { return code; }
    const void* Module() const { return module; }

    // The text, built by the first call and kept: later calls return the
    // same pointer, valid until the object is destroyed. Never throws: when
    // the text cannot be built (no memory) it returns the run-time class
    // name and tries again on the next call.
    const char* what() const noexcept override;

  private:
    std::uint32_t code;
    const void* module;
    // Exactly the text's length plus one characters; null until built.
    mutable std::unique_ptr<char[]> cachedText;
};

}  // namespace Windows

// "Windows Error: ", `code` in decimal, ": " and the SystemErrorText of the
// code. Throws std::bad_alloc when out of memory.
std::string WindowsErrorText(std::uint32_t code);

// The system's message for the error's code (searched in its module first,
// when it has one), without the white space (TAB, LF, CR, SPACE) that the
// system puts around it; line breaks inside the text stay. When the system
// has no text for the code: "unknown error 0x" and the code in small
// hexadecimal digits without leading zeros. Throws std::bad_alloc when out
// of memory; no other failure is raised.
std::string SystemErrorText(Windows::Error error);
