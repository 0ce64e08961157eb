#include "platform/com_error.hpp"

std::string ComErrorText(BSTR text) {
    if (text == nullptr) {
        return std::string();
    }
    const int length = static_cast<int>(SysStringLen(text));
    if (length == 0) {
        return std::string();
    }
    const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return std::string();
    }
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, narrow.data(), size, nullptr, nullptr);
    return narrow;
}
