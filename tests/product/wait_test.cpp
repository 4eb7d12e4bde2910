// The launcher's wait, built against fakes of WaitForSingleObject and CloseHandle: the fake wait
// waits for the real child and then returns the row's result, which makes "Wait failed." reachable.
// Run in a scratch directory: it installs itself there as Bin\Plurex.exe, which ends at once.
#include <windows.h>
#include <cstdio>
#include <cstring>

#include "launch/launch.h"
#include "ok.h"

namespace {

HWND form;
DWORD waitResult; // what the fake wait returns in the current row

// What the fakes and the watcher saw in one row.
struct Seen {
    int waits, closes, boxButtons, boxOkButtons;
    HANDLE waited, closed[2];
    DWORD waitedPid, timeout, closedThreadPid[2]; // the owner of a closed thread handle, else 0
    bool visibleInWait, visibleAtClose, box, boxOwned, formVisibleInBox, boxIcon;
    char boxText[64], boxCaption[16];
} seen;

// Wine's box has an icon control even when it shows no icon, so each static is asked for one.
BOOL CALLBACK InspectControl(HWND child, LPARAM) {
    char cls[16];
    GetClassNameA(child, cls, sizeof cls);
    if (!IsWindowVisible(child)) return TRUE;
    if (lstrcmpiA(cls, "Button") == 0) {
        ++seen.boxButtons;
        seen.boxOkButtons += GetDlgCtrlID(child) == IDOK;
    } else if (lstrcmpiA(cls, "Static") == 0) {
        if (SendMessageA(child, STM_GETICON, 0, 0))
            seen.boxIcon = true;
        else if (GetWindowTextLengthA(child) > 0)
            GetWindowTextA(child, seen.boxText, sizeof seen.boxText);
    }
    return TRUE;
}

// Records a message box of the user-interface thread and presses its OK.
BOOL CALLBACK InspectBox(HWND box, LPARAM) {
    char cls[16];
    GetClassNameA(box, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") != 0 || !IsWindowVisible(box)) return TRUE;
    seen.box = true;
    seen.boxOwned = GetWindow(box, GW_OWNER) == form;
    seen.formVisibleInBox = IsWindowVisible(form);
    GetWindowTextA(box, seen.boxCaption, sizeof seen.boxCaption);
    EnumChildWindows(box, InspectControl, 0);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    Sleep(100);
    return FALSE;
}

DWORD WINAPI Watch(LPVOID stop) {
    DWORD uiThread = GetWindowThreadProcessId(form, nullptr);
    while (WaitForSingleObject(stop, 10) == WAIT_TIMEOUT)
        EnumThreadWindows(uiThread, InspectBox, 0);
    return 0;
}

} // namespace

// The launcher's calls, renamed to these by the compile definitions of its seam build.
extern "C" DWORD WINAPI FakeWaitForSingleObject(HANDLE handle, DWORD timeout) {
    ++seen.waits;
    seen.waited = handle;
    seen.waitedPid = GetProcessId(handle);
    seen.timeout = timeout;
    seen.visibleInWait = IsWindowVisible(form);
    WaitForSingleObject(handle, 10000);
    return waitResult;
}

extern "C" BOOL WINAPI FakeCloseHandle(HANDLE handle) {
    if (seen.closes < 2) {
        seen.closed[seen.closes] = handle;
        seen.closedThreadPid[seen.closes] = GetProcessIdOfThread(handle);
    }
    ++seen.closes;
    seen.visibleAtClose |= IsWindowVisible(form) != FALSE;
    return CloseHandle(handle);
}

int main() {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    const char *name = std::strrchr(self, '\\');
    if (name && lstrcmpiA(name + 1, "Plurex.exe") == 0) return 0; // the child
    CreateDirectoryA("Bin", nullptr);
    if (!CopyFileA(self, "Bin\\Plurex.exe", FALSE)) {
        std::printf("cannot install Bin\\Plurex.exe: error %lu\n", GetLastError());
        return 1;
    }
    form = CreateWindowExA(0, "STATIC", "form", WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 200, 100,
                           nullptr, nullptr, nullptr, nullptr);

    const struct {
        DWORD result;
        bool box;
    } ROWS[] = {{WAIT_FAILED, true}, {WAIT_OBJECT_0, false}, {WAIT_TIMEOUT, false}};
    for (const auto &row : ROWS) {
        seen = Seen{};
        waitResult = row.result;
        HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HANDLE watcher = CreateThread(nullptr, 0, Watch, stop, 0, nullptr);
        RunChildAndWait(form);
        SetEvent(stop);
        WaitForSingleObject(watcher, INFINITE);
        CloseHandle(watcher);
        CloseHandle(stop);

        DWORD r = row.result;
        ok(seen.waits == 1 && seen.timeout == INFINITE, "%lx: %d waits, timeout %lx\n", r,
           seen.waits, seen.timeout);
        ok(seen.waitedPid != 0, "%lx: the wait was not on a process handle\n", r);
        ok(!seen.visibleInWait && !seen.visibleAtClose,
           "%lx: the form was visible during the wait (%d) or a close (%d)\n", r,
           seen.visibleInWait, seen.visibleAtClose);
        ok(seen.closes == 2, "%lx: %d handles closed\n", r, seen.closes);
        ok(seen.closedThreadPid[0] == seen.waitedPid && seen.closed[0] != seen.waited,
           "%lx: first closed %p, not the child's thread (pid %lu)\n", r, seen.closed[0],
           seen.closedThreadPid[0]);
        ok(seen.closed[1] == seen.waited, "%lx: second closed %p, waited on %p\n", r,
           seen.closed[1], seen.waited);
        ok(IsWindowVisible(form), "%lx: the form is hidden after the wait\n", r);
        ok(seen.box == row.box, "%lx: message box shown: %d\n", r, seen.box);
        if (!row.box || !seen.box) continue;
        ok(std::strcmp(seen.boxText, "Wait failed.") == 0, "box text \"%s\"\n", seen.boxText);
        ok(std::strcmp(seen.boxCaption, "Err") == 0, "box caption \"%s\"\n", seen.boxCaption);
        ok(seen.boxButtons == 1 && seen.boxOkButtons == 1 && !seen.boxIcon,
           "box has %d buttons, %d OK, icon %d\n", seen.boxButtons, seen.boxOkButtons,
           seen.boxIcon);
        ok(seen.boxOwned, "the box is not owned by the form\n");
        ok(!seen.formVisibleInBox, "the form was visible with the box\n");
    }
    DestroyWindow(form);
    return OkSummary();
}
