#include "app/crash_dump_frame.hpp"

#include "errors/crash_dump.hpp"
#include "platform/guarded_call.hpp"

namespace {

void RunReport(void* argument) {
    const ReportCall& call = *static_cast<const ReportCall*>(argument);
    call.report(call.path);
}

}  // namespace

void CallWithCrashDumpFilter(const ReportCall& call) {
    CallWithExceptionFilter(RunReport, const_cast<ReportCall*>(&call), CrashDumpFilter);
}
