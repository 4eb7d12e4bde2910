// Stands in for Bin\Plurex.exe: reports what it was started with to probe.txt, then waits for
// go.txt ("<exit code>\n<new config.ini bytes>"), rewrites config.ini and exits with that code.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string>

#include "file_bytes.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char cwd[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof cwd, cwd);
    const char *tag = getenv("PELLOMIR_E2E_TAG"), *heirloom = getenv("PELLOMIR_E2E_HANDLE");
    // How it was started: the window settings passed, and whether the launcher's inheritable
    // handle came along.
    STARTUPINFOA startup{};
    GetStartupInfoA(&startup);
    DWORD handleFlags = 0;
    bool inherited = heirloom &&
                     GetHandleInformation((HANDLE)strtoull(heirloom, nullptr, 16), &handleFlags) &&
                     (handleFlags & HANDLE_FLAG_INHERIT);
    char start[64];
    snprintf(start, sizeof start, "flags=%lx show=%u inherited=%d", startup.dwFlags,
             startup.wShowWindow, inherited);
    // No sharing: this open fails if the launcher still holds the file.
    HANDLE ini = CreateFileA("config.ini", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string report = std::string("cmd=") + GetCommandLineA() + "\ncwd=" + cwd +
                         "\nenv=" + (tag ? tag : "(unset)") + "\nstart=" + start + "\nini=" +
                         (ini == INVALID_HANDLE_VALUE ? "(cannot open alone)" : ReadAndClose(ini));
    PutInPlace("probe.txt", report);

    for (int waited = 0; waited < 30000; waited += 20) {
        HANDLE go = CreateFileA("go.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr);
        if (go != INVALID_HANDLE_VALUE) {
            std::string orders = ReadAndClose(go);
            size_t newline = orders.find('\n');
            if (newline != std::string::npos) PutInPlace("config.ini", orders.substr(newline + 1));
            return atoi(orders.c_str());
        }
        Sleep(20);
    }
    return 99;
}
