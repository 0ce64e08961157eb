// The protected run of the relay report: a frame whose filter is the
// crash-dump filter.
#pragma once

// The report to run and its one argument.
struct ReportCall {
    void (*report)(const char* path);
    const char* path;
};

// Runs call.report(call.path). A thrown exception that escapes the report is
// first offered to CrashDumpFilter, while the report's frames (and so its
// stack, its open file and its buffer) are still intact; then it goes on to
// the caller's handlers unchanged. Returns normally when the report does.
void CallWithCrashDumpFilter(const ReportCall& call);
