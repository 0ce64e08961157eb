#include "errors/crash_dump.hpp"

#include <typeinfo>

#include "errors/exceptions.hpp"

bool IsDumpableException(const EXCEPTION_POINTERS* exception) noexcept {
    if (exception == nullptr || exception->ExceptionRecord == nullptr) {
        return false;
    }
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode != kThrownObjectExceptionCode ||
        record.NumberParameters != kThrownObjectParameterCount ||
        record.ExceptionInformation[kThrownObjectMagicParameter] != kThrownObjectMagic) {
        return false;
    }
    const auto* information = reinterpret_cast<const ThrownObjectInformation*>(
        record.ExceptionInformation[kThrowInformationParameter]);
    if (information == nullptr || information->catchableTypes == nullptr ||
        information->catchableTypes->types == nullptr) {
        return false;
    }
    const CatchableTypeList& catchable = *information->catchableTypes;
    for (std::uint32_t index = 0; index < catchable.count; ++index) {
        if (*catchable.types[index] == typeid(NonDumpableException)) {
            return false;
        }
    }
    return true;
}

LONG CrashDumpFilter(EXCEPTION_POINTERS* exception) noexcept {
    // Only a dumpable thrown object may ever be written to a dump; the
    // writer and its settings build on this decision.
    [[maybe_unused]] const bool dumpable = IsDumpableException(exception);
    return EXCEPTION_CONTINUE_SEARCH;
}
