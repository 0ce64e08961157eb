#include "tests/support/error_information.hpp"

#include <oleauto.h>

IErrorInfo* MakeErrorInformation(const OleText* description, const OleText* source) {
    ICreateErrorInfo* creator = nullptr;
    if (FAILED(CreateErrorInfo(&creator))) {
        return nullptr;
    }
    OleText descriptionText = description != nullptr ? *description : OleText();
    OleText sourceText = source != nullptr ? *source : OleText();
    creator->SetDescription(description != nullptr ? descriptionText.data() : nullptr);
    creator->SetSource(source != nullptr ? sourceText.data() : nullptr);
    IErrorInfo* info = nullptr;
    creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
    creator->Release();
    return info;
}
