// Skelvin: prints the relays that a management client's relay list names.
//
//     Skelvin.exe <Relays.dat>
//
// The exit code is 0 on every path; a failure is reported by the last line
// of standard output.

#include <iostream>
#include <string>

#include "app/crash_dump_frame.hpp"
#include "app/relay_report.hpp"
#include "errors/describe_exception.hpp"

namespace {

constexpr const char kUsage[] = "Skelvin.exe <Relays.dat>";
constexpr const char kNoDiagnosticMessage[] = "No diagnostic message available";

// The line for the exception being handled. Should even the description run
// out of memory, the user still gets a line rather than a crash.
std::string FailureLine() {
    try {
        return DescribeCurrentException();
    } catch (...) {
        return kNoDiagnosticMessage;
    }
}

}  // namespace

int main(int argumentCount, char** arguments) {
    if (argumentCount != 2) {
        std::cout << kUsage << std::endl;
        return 0;
    }
    try {
        const ReportCall call{PrintRelays, arguments[1]};
        CallWithCrashDumpFilter(call);
    } catch (...) {
        std::cout << FailureLine() << std::endl;
    }
    return 0;
}
