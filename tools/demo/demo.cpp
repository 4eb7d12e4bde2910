// demo LAUNCHER [SIGNAL_FILE]
// Starts LAUNCHER in the current directory, types sample values into its form, presses "Begin",
// dismisses the child's message and closes the form, printing one line per step. With
// SIGNAL_FILE, it stops once the values are in and waits for that file, so that a screenshot
// can be taken from outside. Every wait is bounded; on a failure the launcher is terminated.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include "ui/resource.h"

namespace {

const DWORD TIMEOUT_MS = 20000;
const DWORD POLL_MS = 50;

// What the demo types into each field of the form.
struct Field {
    int id;
    const char *label, *sample;
};
const Field FIELDS[] = {
    {IDC_TIMELIMIT, "Time limit", "30"},
    {IDC_RANGEMIN, "Minimum", "1"},
    {IDC_RANGEMAX, "Maximum", "9"},
    {IDC_OPERATIONS, "Operations", "add, sub"},
};

struct WindowSearch {
    const char *caption;
    DWORD pid;     // the window's process: this one,
    bool otherPid; // or any but this one
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param) {
    WindowSearch &search = *reinterpret_cast<WindowSearch *>(param);
    char caption[64];
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    // GetWindowTextA reads another process's caption without sending it a message.
    if (!IsWindowVisible(hwnd) || !GetWindowTextA(hwnd, caption, sizeof caption) ||
        strcmp(caption, search.caption) != 0 || (pid == search.pid) == search.otherPid)
        return TRUE;
    search.found = hwnd;
    return FALSE;
}

HWND WaitForWindow(const char *caption, DWORD pid, bool otherPid) {
    for (DWORD waited = 0; waited < TIMEOUT_MS; waited += POLL_MS) {
        WindowSearch search{caption, pid, otherPid, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        Sleep(POLL_MS);
    }
    return nullptr;
}

// Polls only: the launcher's thread does not answer messages while its child runs.
bool WaitForVisible(HWND hwnd, bool visible) {
    for (DWORD waited = 0; waited < TIMEOUT_MS; waited += POLL_MS) {
        if ((IsWindowVisible(hwnd) != FALSE) == visible) return true;
        Sleep(POLL_MS);
    }
    return false;
}

bool WaitForFile(const char *path) {
    for (DWORD waited = 0; waited < TIMEOUT_MS; waited += POLL_MS) {
        if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return true;
        Sleep(POLL_MS);
    }
    return false;
}

// Not SMTO_ABORTIFHUNG: under load Wine may call a freshly started process hung.
bool SendText(HWND hwnd, UINT message, WPARAM size, const char *text) {
    DWORD_PTR result;
    return SendMessageTimeoutA(hwnd, message, size, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                               TIMEOUT_MS, &result) != 0;
}

// The message is the first static control with text; the icon's has none.
void ReadMessageText(HWND box, char *text, int size) {
    text[0] = 0;
    for (HWND control = nullptr;
         !text[0] && (control = FindWindowExA(box, control, "Static", nullptr));)
        SendText(control, WM_GETTEXT, size, text);
}

// On one line: each LF shows as " / ".
void PrintOnOneLine(const char *text) {
    for (; *text; ++text) {
        if (*text == '\n')
            fputs(" / ", stdout);
        else
            putchar(*text);
    }
    putchar('\n');
}

void PrintVisibleBytes(const char *path) {
    FILE *file = fopen(path, "rb");
    if (!file) {
        printf("%s cannot be read\n", path);
        return;
    }
    unsigned char bytes[4096];
    size_t size = fread(bytes, 1, sizeof bytes, file);
    fclose(file);
    printf("%s now holds %u bytes (CR and LF shown as <CR> and <LF>):\n    ", path, unsigned(size));
    for (size_t i = 0; i < size; ++i) {
        unsigned char byte = bytes[i];
        if (byte == '\r')
            printf("<CR>");
        else if (byte == '\n')
            printf("<LF>%s", i + 1 < size ? "\n    " : "");
        else if (byte < 0x20 || byte >= 0x7F)
            printf("<%02X>", byte);
        else
            putchar(byte);
    }
    putchar('\n');
}

int Fail(const PROCESS_INFORMATION &launcher, const char *what) {
    printf("FAILED: %s; terminating the launcher\n", what);
    TerminateProcess(launcher.hProcess, 1);
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    _setmode(_fileno(stdout), _O_BINARY); // LF line ends on the Linux side
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 2 || argc > 3) {
        printf("Usage: demo LAUNCHER [SIGNAL_FILE]\n");
        return 2;
    }
    char commandLine[MAX_PATH + 2];
    snprintf(commandLine, sizeof commandLine, "\"%s\"", argv[1]);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION launcher{};
    if (!CreateProcessA(argv[1], commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &launcher)) {
        printf("FAILED: could not start %s, error %lu\n", argv[1], GetLastError());
        return 1;
    }
    printf("Started %s, process %lu\n", argv[1], launcher.dwProcessId);

    HWND form = WaitForWindow("Pellomir Startup", launcher.dwProcessId, false);
    if (!form) return Fail(launcher, "no visible \"Pellomir Startup\" window of the launcher");
    char text[1024];
    for (const Field &field : FIELDS) {
        HWND edit = GetDlgItem(form, field.id);
        if (!edit || !SendText(edit, WM_GETTEXT, sizeof text, text))
            return Fail(launcher, "a field of the form does not answer");
        printf("The form is up; %s shows \"%s\"\n", field.label, text);
    }
    for (const Field &field : FIELDS) {
        if (!SendText(GetDlgItem(form, field.id), WM_SETTEXT, 0, field.sample))
            return Fail(launcher, "a field of the form does not answer");
        printf("Typed \"%s\" into %s\n", field.sample, field.label);
    }
    if (argc == 3) {
        Sleep(300); // lets the form repaint the new texts
        RECT rect;
        GetWindowRect(form, &rect);
        printf("Form ready for a screenshot at %ldx%ld+%ld+%ld; waiting for %s\n",
               rect.right - rect.left, rect.bottom - rect.top, rect.left, rect.top, argv[2]);
        puts(WaitForFile(argv[2]) ? "Going on" : "No word of a screenshot came; going on");
    }

    HWND begin = GetDlgItem(form, IDC_BEGIN);
    PostMessageA(form, WM_COMMAND, MAKEWPARAM(IDC_BEGIN, BN_CLICKED),
                 reinterpret_cast<LPARAM>(begin));
    printf("Pressed \"Begin\"\n");
    if (!WaitForVisible(form, false)) return Fail(launcher, "the form did not hide");
    printf("The form is hidden while the child runs\n");

    HWND box = WaitForWindow("Plurex", launcher.dwProcessId, true);
    if (!box) return Fail(launcher, "no message box of the child Plurex");
    ReadMessageText(box, text, sizeof text);
    printf("The child shows: ");
    PrintOnOneLine(text);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    printf("Pressed OK in the child's message box\n");
    if (!WaitForVisible(form, true)) return Fail(launcher, "the form did not come back");
    printf("The child has ended and the form is back\n");
    PrintVisibleBytes("config.ini");

    PostMessageA(form, WM_CLOSE, 0, 0);
    printf("Closed the form\n");
    if (WaitForSingleObject(launcher.hProcess, TIMEOUT_MS) != WAIT_OBJECT_0)
        return Fail(launcher, "the launcher did not end");
    DWORD status = 1;
    GetExitCodeProcess(launcher.hProcess, &status);
    printf("The launcher ended with exit status %lu\n", status);
    CloseHandle(launcher.hThread);
    CloseHandle(launcher.hProcess);
    return status == 0 ? 0 : 1;
}
