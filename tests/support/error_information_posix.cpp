#include "tests/support/error_information.hpp"

namespace {

class StoredErrorInformation final : public IErrorInfo {
  public:
    StoredErrorInformation(const OleText* description, const OleText* source)
        : hasDescription(description != nullptr),
          hasSource(source != nullptr),
          description(description != nullptr ? *description : OleText()),
          source(source != nullptr ? *source : OleText()) {}

    ULONG AddRef() override { return ++references; }
    ULONG Release() override {
        const ULONG left = --references;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT GetDescription(BSTR* text) override { return Give(hasDescription, description, text); }
    HRESULT GetSource(BSTR* text) override { return Give(hasSource, source, text); }

  private:
    static HRESULT Give(bool present, const OleText& value, BSTR* text) {
        if (text == nullptr) {
            return E_POINTER;
        }
        *text =
            present ? SysAllocStringLen(value.data(), static_cast<UINT>(value.size())) : nullptr;
        return S_OK;
    }

    ULONG references = 1;
    bool hasDescription;
    bool hasSource;
    OleText description;
    OleText source;
};

}  // namespace

IErrorInfo* MakeErrorInformation(const OleText* description, const OleText* source) {
    return new StoredErrorInformation(description, source);
}
