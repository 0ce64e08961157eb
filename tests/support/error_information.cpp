#include "tests/support/error_information.hpp"

OleText Ole(const std::string& latin1) {
    OleText text;
    for (const char character : latin1) {
        text.push_back(static_cast<OLECHAR>(static_cast<unsigned char>(character)));
    }
    return text;
}

ULONG ReferenceCount(IErrorInfo* info) {
    info->AddRef();
    return info->Release();
}
