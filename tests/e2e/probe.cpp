// Stands in for Bin\Plurex.exe: reports what it was started with to probe.txt, then waits for
// go.txt ("<exit code>\n<new config.ini bytes>"), rewrites config.ini and exits with that code.
#include <windows.h>
#include <stdio.h>
#include <share.h>
#include <stdlib.h>
#include <string>

#include "bytes.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char cwd[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof cwd, cwd);
    // The tag names a handle that the launcher inherited; it must not come along.
    const char *tag = getenv("PELLOMIR_E2E_TAG");
    DWORD handleFlags = 0;
    bool inherited = tag &&
                     GetHandleInformation((HANDLE)strtoull(tag, nullptr, 16), &handleFlags) &&
                     (handleFlags & HANDLE_FLAG_INHERIT);
    STARTUPINFOA startup{};
    GetStartupInfoA(&startup);
    // No sharing: this open fails if the launcher still holds the file.
    FILE *alone = _fsopen("config.ini", "rb", _SH_DENYRW);
    if (alone) fclose(alone);
    char head[2 * MAX_PATH + 128];
    snprintf(
        head, sizeof head,
        "cmd=%s\ncwd=%s\nenv=%s\nstart=flags=%lx show=%u inherited=%d\nini=", GetCommandLineA(),
        cwd, tag ? tag : "(unset)", startup.dwFlags, startup.wShowWindow, inherited);
    std::string report = head + (alone ? ReadBytes("config.ini") : "(cannot open alone)");
    PutInPlace("probe.txt", report);

    for (int waited = 0; waited < 30000; waited += 20) {
        std::string orders = ReadBytes("go.txt");
        size_t newline = orders.find('\n');
        if (newline != std::string::npos) PutInPlace("config.ini", orders.substr(newline + 1));
        if (!orders.empty()) return atoi(orders.c_str());
        Sleep(20);
    }
    return 99;
}
