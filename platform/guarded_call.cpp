#include "platform/guarded_call.hpp"

#include <cxxabi.h>
#include <unwind.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// GCC, Clang and mingw-w64's i686 compiler all unwind with the two-phase
// Itanium C++ ABI unwinder: the search phase asks every frame's personality
// routine whether it handles the exception before any frame is unwound. The
// frame of CallWithExceptionFilter is written in assembly so that its
// personality routine is ours: in the search phase it offers the exception to
// the frame's filter and always answers "continue unwinding", which is
// exactly what a structured-exception filter answering
// EXCEPTION_CONTINUE_SEARCH does. In the cleanup phase there is nothing to
// clean up.
//
// The frame keeps the filter in the word just below its saved frame pointer,
// where the personality routine finds it again through the frame pointer
// register of the frame's context.

extern "C" {
void SkelvinGuardedCall(void (*function)(void*), void* argument, ExceptionFilter filter);
_Unwind_Reason_Code SkelvinGuardedCallPersonality(int version, _Unwind_Action actions,
                                                  _Unwind_Exception_Class exceptionClass,
                                                  _Unwind_Exception* exception,
                                                  _Unwind_Context* context);
}

#if defined(__x86_64__) && defined(__ELF__)
// The DWARF number of rbp.
constexpr int kFramePointerRegister = 6;
// System V AMD64: function in rdi, argument in rsi, filter in rdx.
asm(R"(
    .text
    .p2align 4
    .globl SkelvinGuardedCall
    .hidden SkelvinGuardedCall
    .type SkelvinGuardedCall, @function
SkelvinGuardedCall:
    .cfi_startproc
    .cfi_personality 0x9b, .LSkelvinGuardedCallPersonalityRef
    pushq %rbp
    .cfi_def_cfa_offset 16
    .cfi_offset %rbp, -16
    movq %rsp, %rbp
    .cfi_def_cfa_register %rbp
    pushq %rdx
    subq $8, %rsp
    movq %rdi, %rax
    movq %rsi, %rdi
    call *%rax
    leave
    .cfi_def_cfa %rsp, 8
    ret
    .cfi_endproc
    .size SkelvinGuardedCall, .-SkelvinGuardedCall

    .section .data.rel.ro.SkelvinGuardedCall, "aw"
    .p2align 3
.LSkelvinGuardedCallPersonalityRef:
    .quad SkelvinGuardedCallPersonality
    .text
)");
#elif defined(__i386__) && defined(_WIN32)
// The DWARF number of ebp.
constexpr int kFramePointerRegister = 5;
// cdecl: function, argument and filter on the stack above the return address.
asm(R"(
    .text
    .p2align 4
    .globl _SkelvinGuardedCall
    .def _SkelvinGuardedCall; .scl 2; .type 32; .endef
_SkelvinGuardedCall:
    .cfi_startproc
    .cfi_personality 0x9b, LSkelvinGuardedCallPersonalityRef
    pushl %ebp
    .cfi_def_cfa_offset 8
    .cfi_offset %ebp, -8
    movl %esp, %ebp
    .cfi_def_cfa_register %ebp
    pushl 16(%ebp)
    subl $20, %esp
    movl 12(%ebp), %eax
    movl %eax, (%esp)
    call *8(%ebp)
    leave
    .cfi_restore %ebp
    .cfi_def_cfa %esp, 4
    ret
    .cfi_endproc

    .data
    .p2align 2
LSkelvinGuardedCallPersonalityRef:
    .long _SkelvinGuardedCallPersonality
    .text
)");
#else
#error "CallWithExceptionFilter has no frame for this target"
#endif

namespace {

constexpr std::size_t kFilterSlotBelowFramePointer = sizeof(void*);

// The run time's record in front of every thrown C++ object (Itanium C++ ABI,
// section 2.2.1). Only its position relative to the unwinder's header and
// its first field are used.
struct ThrownObjectHeader {
    std::type_info* exceptionType;
    void (*exceptionDestructor)(void*);
    void (*unexpectedHandler)();
    void (*terminateHandler)();
    ThrownObjectHeader* nextException;
    int handlerCount;
    int handlerSwitchValue;
    const unsigned char* actionRecord;
    const unsigned char* languageSpecificData;
    _Unwind_Ptr catchTemp;
    void* adjustedPtr;
    _Unwind_Exception unwindHeader;
};

// A dependent exception (std::rethrow_exception) has the same layout, with a
// pointer to the primary thrown object in place of the type.
struct DependentObjectHeader {
    void* primaryException;
};

// The exception class: four bytes of vendor, then "C++" and a last byte that
// tells a primary (0) from a dependent (1) exception.
constexpr _Unwind_Exception_Class kLanguageMask = 0xFFFFFF00;
constexpr _Unwind_Exception_Class kCxxLanguage = 0x432B2B00;  // "C++"
constexpr _Unwind_Exception_Class kKindMask = 0xFF;
constexpr _Unwind_Exception_Class kPrimaryKind = 0;
constexpr _Unwind_Exception_Class kDependentKind = 1;

ThrownObjectHeader* HeaderOf(_Unwind_Exception* exception) {
    return reinterpret_cast<ThrownObjectHeader*>(reinterpret_cast<char*>(exception) -
                                                 offsetof(ThrownObjectHeader, unwindHeader));
}

// The thrown object and its type, or false for an exception of another
// language.
bool FindThrownObject(_Unwind_Exception_Class exceptionClass, _Unwind_Exception* exception,
                      void*& object, const std::type_info*& type) {
    if ((exceptionClass & kLanguageMask) != kCxxLanguage) {
        return false;
    }
    ThrownObjectHeader* header = HeaderOf(exception);
    switch (exceptionClass & kKindMask) {
        case kPrimaryKind:
            object = exception + 1;
            break;
        case kDependentKind:
            object = reinterpret_cast<DependentObjectHeader*>(header)->primaryException;
            header = reinterpret_cast<ThrownObjectHeader*>(object) - 1;
            break;
        default:
            return false;
    }
    type = header->exceptionType;
    return type != nullptr;
}

// The thrown type, then its public bases depth first, each once: the types a
// handler can catch the object as (pointer conversions aside).
void AddCatchableTypes(const std::type_info& type, std::vector<const std::type_info*>& types) {
    if (std::any_of(types.begin(), types.end(),
                    [&type](const std::type_info* known) { return *known == type; })) {
        return;
    }
    types.push_back(&type);
    if (const auto* single = dynamic_cast<const abi::__si_class_type_info*>(&type)) {
        AddCatchableTypes(*single->__base_type, types);
    } else if (const auto* multiple = dynamic_cast<const abi::__vmi_class_type_info*>(&type)) {
        for (unsigned index = 0; index < multiple->__base_count; ++index) {
            const abi::__base_class_type_info& base = multiple->__base_info[index];
            if ((base.__offset_flags & abi::__base_class_type_info::__public_mask) != 0) {
                AddCatchableTypes(*base.__base_type, types);
            }
        }
    }
}

PVOID InstructionPointerOf(const CONTEXT& context) {
#if defined(__x86_64__)
    return reinterpret_cast<PVOID>(static_cast<std::uintptr_t>(context.Rip));
#else
    return reinterpret_cast<PVOID>(static_cast<std::uintptr_t>(context.Eip));
#endif
}

void OfferToFilter(ExceptionFilter filter, _Unwind_Exception_Class exceptionClass,
                   _Unwind_Exception* exception) {
    // Every frame between the throw and this one is still on the stack, so
    // a dump written from this context shows the failing operation.
    CONTEXT context;
    std::memset(&context, 0, sizeof context);
    RtlCaptureContext(&context);
    EXCEPTION_RECORD record;
    std::memset(&record, 0, sizeof record);
    record.ExceptionAddress = InstructionPointerOf(context);
    EXCEPTION_POINTERS pointers{&record, &context};

    void* object = nullptr;
    const std::type_info* type = nullptr;
    std::vector<const std::type_info*> types;
    CatchableTypeList catchable{0, nullptr};
    ThrownObjectInformation information{&catchable};
    if (FindThrownObject(exceptionClass, exception, object, type)) {
        AddCatchableTypes(*type, types);
        catchable = {static_cast<std::uint32_t>(types.size()), types.data()};
        record.ExceptionCode = kThrownObjectExceptionCode;
        record.NumberParameters = kThrownObjectParameterCount;
        record.ExceptionInformation[kThrownObjectMagicParameter] = kThrownObjectMagic;
        record.ExceptionInformation[kThrownObjectParameter] = reinterpret_cast<ULONG_PTR>(object);
        record.ExceptionInformation[kThrowInformationParameter] =
            reinterpret_cast<ULONG_PTR>(&information);
    } else {
        // Not a C++ object: the low half of its class stands in for a code.
        record.ExceptionCode = static_cast<DWORD>(exceptionClass);
    }
    filter(&pointers);
}

}  // namespace

extern "C" _Unwind_Reason_Code SkelvinGuardedCallPersonality(int version, _Unwind_Action actions,
                                                             _Unwind_Exception_Class exceptionClass,
                                                             _Unwind_Exception* exception,
                                                             _Unwind_Context* context) {
    if (version != 1) {
        return _URC_FATAL_PHASE1_ERROR;
    }
    if ((actions & _UA_SEARCH_PHASE) != 0 && (actions & _UA_FORCE_UNWIND) == 0) {
        const auto frame =
            static_cast<std::uintptr_t>(_Unwind_GetGR(context, kFramePointerRegister));
        ExceptionFilter filter;
        std::memcpy(&filter, reinterpret_cast<const void*>(frame - kFilterSlotBelowFramePointer),
                    sizeof filter);
        // Nothing may escape into the unwinder; a filter that fails has
        // simply not written its dump.
        try {
            OfferToFilter(filter, exceptionClass, exception);
        } catch (...) {
        }
    }
    return _URC_CONTINUE_UNWIND;
}

void CallWithExceptionFilter(void (*function)(void*), void* argument, ExceptionFilter filter) {
    SkelvinGuardedCall(function, argument, filter);
}
