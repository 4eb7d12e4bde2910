// The launch code and WinMain in this process, where a box's icon is known by its handle. The wait
// and the closing of handles are fakes that wait for the real child and return the row's result,
// which makes "Wait failed." reachable; WinMain finds no dialog template in this program.
// Run in a scratch directory: it installs itself there as Bin\Plurex.exe, which ends at once.
#include <windows.h>
#include <cstdio>
#include <cstring>

#include "box.h"
#include "launch/launch.h"
#include "ok.h"

namespace {

HWND form;
DWORD waitResult; // what the fake wait returns in the current row

// What the fakes and the timer saw in one row.
struct Seen {
    int waits, closes, closesAtBox;
    HANDLE waited, closed[2];
    DWORD waitedPid, timeout, closedThreadPid[2]; // the owner of a closed thread handle, else 0
    bool visibleInWait, visibleAtClose, box, formVisibleInBox;
    BoxView view;
} seen;

// Records a message box of this thread and presses its OK.
BOOL CALLBACK InspectBox(HWND box, LPARAM) {
    char type[16];
    GetClassNameA(box, type, sizeof type);
    if (lstrcmpA(type, "#32770") != 0 || !IsWindowVisible(box)) return TRUE;
    seen.box = true;
    seen.closesAtBox = seen.closes;
    seen.formVisibleInBox = IsWindowVisible(form);
    seen.view = ReadBox(box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return FALSE;
}

// A timer of this thread: it ticks only in the modal loop of a box.
void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), InspectBox, 0);
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
    if (std::strstr(self, "\\Bin\\Plurex.exe")) return 0; // the child
    CreateDirectoryA("Bin", nullptr);
    if (!CopyFileA(self, "Bin\\Plurex.exe", FALSE)) {
        std::printf("cannot install Bin\\Plurex.exe: error %lu\n", GetLastError());
        return 1;
    }
    form = CreateWindowExA(0, "STATIC", "form", WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 200, 100,
                           nullptr, nullptr, nullptr, nullptr);

    const struct {
        const char *name;
        DWORD result;
        bool winMain;
        const char *text, *caption; // the box, if one is shown
        LPCSTR icon;
    } ROWS[] = {
        {"wait failed", WAIT_FAILED, false, "Wait failed.", "Err", nullptr},
        {"child ended", WAIT_OBJECT_0, false, nullptr, nullptr, nullptr},
        {"wait timed out", WAIT_TIMEOUT, false, nullptr, nullptr, nullptr},
        {"no dialog template", 0, true, "Could not create window.", "Error", IDI_WARNING},
    };
    for (const auto &row : ROWS) {
        okContext = row.name;
        seen = Seen{};
        waitResult = row.result;
        UINT_PTR timer = SetTimer(nullptr, 0, 10, Tick);
        int status = 0;
        if (row.winMain)
            status = WinMain(GetModuleHandleA(nullptr), nullptr, self, SW_SHOWNORMAL);
        else
            RunChildAndWait(form);
        KillTimer(nullptr, timer);

        ok(seen.box == (row.text != nullptr), "message box shown: %d\n", seen.box);
        if (seen.box && row.text) {
            const BoxView &box = seen.view;
            HICON icon = row.icon ? LoadIconA(nullptr, row.icon) : nullptr;
            ok(!std::strcmp(box.text, row.text) && !std::strcmp(box.caption, row.caption),
               "box \"%s\" captioned \"%s\"\n", box.text, box.caption);
            ok(box.buttons == 1u << IDOK && box.icon == icon && !box.topmost,
               "box buttons %#x, icon %p (expected %p), topmost %d\n", box.buttons,
               (void *)box.icon, (void *)icon, box.topmost);
            ok(box.owner == (row.winMain ? nullptr : form), "box owned by %p\n", (void *)box.owner);
        }
        if (row.winMain) {
            ok(status == 1 && seen.waits == 0, "WinMain gave %d after %d waits\n", status,
               seen.waits);
            continue;
        }
        ok(seen.waits == 1 && seen.timeout == INFINITE && seen.waitedPid,
           "%d waits, timeout %lx, on process %lu\n", seen.waits, seen.timeout, seen.waitedPid);
        ok(!seen.visibleInWait && !seen.visibleAtClose && !seen.formVisibleInBox,
           "the form was visible during the wait (%d), a close (%d) or the box (%d)\n",
           seen.visibleInWait, seen.visibleAtClose, seen.formVisibleInBox);
        ok(seen.closes == 2 && seen.closesAtBox == 0, "%d handles closed, %d before the box\n",
           seen.closes, seen.closesAtBox);
        ok(seen.closedThreadPid[0] == seen.waitedPid && seen.closed[0] != seen.waited &&
               seen.closed[1] == seen.waited,
           "closed %p (a thread of process %lu), then %p; the wait was on %p\n", seen.closed[0],
           seen.closedThreadPid[0], seen.closed[1], seen.waited);
        ok(IsWindowVisible(form), "the form is hidden after the wait\n");
    }
    DestroyWindow(form);
    return OkSummary();
}
