// Checks in the manner of Wine's conformance tests: ok(cond, "what differed: %d\n", value)
// counts the check and, when it fails, says where and what; OkSummary() prints the closing
// line "N passed, N failed" and gives the exit status.
#pragma once
#include <stdarg.h>
#include <stdio.h>

static int okPassed, okFailed;
static const char *okContext; // named in every failure while set, e.g. the current case

__attribute__((format(printf, 4, 5))) static bool OkReport(const char *file, int line, bool cond,
                                                           const char *format, ...) {
    ++(cond ? okPassed : okFailed);
    if (cond) return true;
    printf("%s:%d: %s%s%sTest failed: ", file, line, okContext ? "[" : "",
           okContext ? okContext : "", okContext ? "] " : "");
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    return false;
}
#define ok(cond, ...) OkReport(__FILE_NAME__, __LINE__, (cond), __VA_ARGS__)

static int OkSummary() {
    printf("%d passed, %d failed\n", okPassed, okFailed);
    return okFailed != 0;
}
