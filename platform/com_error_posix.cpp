#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/com_error.hpp"

namespace {

constexpr DWORD kSystemMessageFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
constexpr DWORD kUserDefaultLanguage = 0x0400;
constexpr std::uint32_t kFirstDispatchError = 0x80040201;
constexpr std::uint32_t kLastDispatchError = 0x8004FFFF;
constexpr std::uint32_t kDispatchErrorBase = 0x80040200;
constexpr SIZE_T kFallbackMessageSize = 32;

// The length lives in the four bytes in front of the characters, as the
// platform keeps it.
using LengthPrefix = std::uint32_t;

LengthPrefix* PrefixOf(BSTR text) {
    return reinterpret_cast<LengthPrefix*>(text) - 1;
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    void* block = std::malloc(sizeof(LengthPrefix) + (std::size_t{length} + 1) * sizeof(OLECHAR));
    if (block == nullptr) {
        return nullptr;
    }
    auto* prefix = static_cast<LengthPrefix*>(block);
    *prefix = static_cast<LengthPrefix>(length * sizeof(OLECHAR));
    BSTR characters = reinterpret_cast<BSTR>(prefix + 1);
    if (text != nullptr) {
        std::memcpy(characters, text, length * sizeof(OLECHAR));
    } else {
        std::memset(characters, 0, length * sizeof(OLECHAR));
    }
    characters[length] = 0;
    return characters;
}

BSTR SysAllocString(const OLECHAR* text) {
    if (text == nullptr) {
        return nullptr;
    }
    UINT length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return SysAllocStringLen(text, length);
}

UINT SysStringLen(BSTR text) {
    return text == nullptr ? 0 : *PrefixOf(text) / sizeof(OLECHAR);
}

void SysFreeString(BSTR text) {
    if (text != nullptr) {
        std::free(PrefixOf(text));
    }
}

_com_error::_com_error(HRESULT result, IErrorInfo* info, bool addRef) noexcept
    : result(result), info(info) {
    if (info != nullptr && addRef) {
        info->AddRef();
    }
}

_com_error::_com_error(const _com_error& other) noexcept : result(other.result), info(other.info) {
    if (info != nullptr) {
        info->AddRef();
    }
}

_com_error& _com_error::operator=(const _com_error& other) noexcept {
    if (this != &other) {
        _com_error copy(other);
        std::swap(result, copy.result);
        std::swap(info, copy.info);
        std::swap(message, copy.message);
    }
    return *this;
}

_com_error::~_com_error() {
    if (info != nullptr) {
        info->Release();
    }
    if (message != nullptr) {
        LocalFree(message);
    }
}

IErrorInfo* _com_error::ErrorInfo() const noexcept {
    if (info != nullptr) {
        info->AddRef();
    }
    return info;
}

const char* _com_error::ErrorMessage() const noexcept {
    if (message != nullptr) {
        return message;
    }
    char* text = nullptr;
    const DWORD length =
        FormatMessageA(kSystemMessageFlags, nullptr, static_cast<DWORD>(result),
                       kUserDefaultLanguage, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (length > 0 && text != nullptr) {
        if (length > 1 && text[length - 1] == '\n') {
            text[length - 1] = '\0';
            if (text[length - 2] == '\r') {
                text[length - 2] = '\0';
            }
        }
        message = text;
        return message;
    }
    text = static_cast<char*>(LocalAlloc(LMEM_FIXED, kFallbackMessageSize));
    if (text == nullptr) {
        return nullptr;
    }
    const auto code = static_cast<std::uint32_t>(result);
    if (code >= kFirstDispatchError && code <= kLastDispatchError) {
        std::snprintf(text, kFallbackMessageSize, "IDispatch error #%d",
                      static_cast<int>(code - kDispatchErrorBase));
    } else {
        std::snprintf(text, kFallbackMessageSize, "Unknown error 0x%0lX",
                      static_cast<unsigned long>(code));
    }
    message = text;
    return message;
}

// The narrow code page of the Linux build is UTF-8.
std::string ComErrorText(BSTR text) {
    std::string narrow;
    const UINT length = SysStringLen(text);
    for (UINT index = 0; index < length; ++index) {
        std::uint32_t unit = text[index];
        std::uint32_t point = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF && index + 1 < length && text[index + 1] >= 0xDC00 &&
            text[index + 1] <= 0xDFFF) {
            point = 0x10000 + ((unit - 0xD800) << 10) + (text[index + 1] - 0xDC00);
            ++index;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            narrow.push_back('?');
            continue;
        }
        if (point < 0x80) {
            narrow.push_back(static_cast<char>(point));
        } else if (point < 0x800) {
            narrow.push_back(static_cast<char>(0xC0 | (point >> 6)));
            narrow.push_back(static_cast<char>(0x80 | (point & 0x3F)));
        } else if (point < 0x10000) {
            narrow.push_back(static_cast<char>(0xE0 | (point >> 12)));
            narrow.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
            narrow.push_back(static_cast<char>(0x80 | (point & 0x3F)));
        } else {
            narrow.push_back(static_cast<char>(0xF0 | (point >> 18)));
            narrow.push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
            narrow.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
            narrow.push_back(static_cast<char>(0x80 | (point & 0x3F)));
        }
    }
    return narrow;
}
