// The Linux stand-in for the platform's COM error class and the automation
// strings it hands out. Reached through platform/com_error.hpp.
#pragma once

#include <cstdint>

#include "platform/win32_api.hpp"

using ULONG = std::uint32_t;
using OLECHAR = char16_t;
using BSTR = OLECHAR*;

inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);

// An automation string: a length-prefixed, zero-terminated UTF-16 text on
// the heap. A null BSTR is an empty string. SysAllocString returns null when
// out of memory.
BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
UINT SysStringLen(BSTR text);
void SysFreeString(BSTR text);

// The error-information interface: a description and the name of the source
// of a COM failure, reference counted. The getters hand out a new string
// that the caller frees with SysFreeString; a null string means "none".
class IErrorInfo {
  public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT GetDescription(BSTR* description) = 0;
    virtual HRESULT GetSource(BSTR* source) = 0;

  protected:
    ~IErrorInfo() = default;
};

// A COM failure: an HRESULT and, optionally, an error-information interface
// of which it holds one reference.
class _com_error {
  public:
    // Takes the HRESULT and, when given, the interface; with addRef false
    // the reference the caller holds passes to the error.
    explicit _com_error(HRESULT result, IErrorInfo* info = nullptr, bool addRef = false) noexcept;
    _com_error(const _com_error& other) noexcept;
    _com_error& operator=(const _com_error& other) noexcept;
    ~_com_error();

    HRESULT Error() const noexcept { return result; }

    // The interface with one more reference, which the caller releases; null
    // when the error carries none.
    IErrorInfo* ErrorInfo() const noexcept;

    // The message text, built on the first request and kept until the error
    // is destroyed; null when no text could be produced:
    // 1. the system's text for the HRESULT (FormatMessageA, language 0x0400),
    //    without one trailing line feed and a carriage return before it, when
    //    the text is longer than one character;
    // 2. otherwise, in 32 bytes from the local heap, "IDispatch error #n" for
    //    0x80040201 to 0x8004FFFF (n = HRESULT - 0x80040200), else
    //    "Unknown error 0x" and the HRESULT in capital hexadecimal.
    const char* ErrorMessage() const noexcept;

  private:
    HRESULT result;
    IErrorInfo* info;
    mutable char* message = nullptr;
};
