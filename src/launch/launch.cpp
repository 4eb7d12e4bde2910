#include "launch/launch.h"

#ifdef _M_IX86
static_assert(sizeof(STARTUPINFOA) == 68, "the 32-bit STARTUPINFOA is 68 bytes");
#endif

void RunChildAndWait(HWND hwnd) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    // No search path: a relative application name resolves against the working directory.
    if (!CreateProcessA("Bin\\Plurex.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &child)) {
        MessageBoxA(hwnd, "Could not spawn process.", "Error", MB_OK);
        return;
    }
    ShowWindow(hwnd, SW_HIDE);
    if (WaitForSingleObject(child.hProcess, INFINITE) == WAIT_FAILED)
        MessageBoxA(hwnd, "Wait failed.", "Err", MB_OK);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    ShowWindow(hwnd, SW_SHOW);
}
