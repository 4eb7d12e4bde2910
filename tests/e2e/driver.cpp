// Drives the launcher through its windows as a user would, one group of cases per run:
//   driver startup|begin|nochild|notemplate <launcher.exe> <probe.exe>
// Every case runs in a new scratch directory.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <string>

#include "box.h"
#include "bytes.h"
#include "ok.h"

// A fault must fail the case, not hang it.
static const DWORD TIMEOUT_MS = 10000;
static const DWORD POLL_MS = 20;
static const int BEGIN = 1000;
static const int FIELDS[4] = {1002, 1007, 1006, 1009}; // time limit, minimum, maximum, operations
// tag: the value of a handle the launcher inherits, put in its environment for its child, which
// must see the variable but not the handle.
static char launcher[MAX_PATH], probe[MAX_PATH], tag[32];
static char longText[601], longFile[700];

// In the Wine prefix's %TEMP%; the time of day keeps apart drivers that Wine gave the same id.
static std::string Scratch(const char *group, int index) {
    char temp[MAX_PATH], dir[MAX_PATH + 64];
    GetTempPathA(sizeof temp, temp);
    snprintf(dir, sizeof dir, "%se2e-%lu-%lu-%s-%d", temp, GetCurrentProcessId(), GetTickCount(),
             group, index);
    BOOL made = CreateDirectoryA(dir, nullptr);
    ok(made, "cannot make %s: error %lu\n", dir, GetLastError());
    return dir;
}

template <typename Check> static bool Poll(Check check, DWORD timeout = TIMEOUT_MS) {
    for (DWORD waited = 0; !check(); waited += POLL_MS, Sleep(POLL_MS))
        if (waited >= timeout) return false;
    return true;
}

struct Launch {
    std::string dir;
    PROCESS_INFORMATION process;
    HWND form;
};

static bool Start(Launch &run, const std::string &exe, const char *args) {
    std::string command = "\"" + exe + "\"" + (args ? std::string(" ") + args : "");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    // Starting is the driver's part, not the launcher's: under load Wine has been seen to
    // refuse a start once, so a refusal is noted and tried again.
    BOOL started = FALSE;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        started = CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                 run.dir.c_str(), &startup, &run.process);
        if (started) break;
        printf("note: start %d of %s refused: error %lu\n", attempt, exe.c_str(), GetLastError());
        Sleep(500);
    }
    if (!ok(started, "cannot start %s\n", exe.c_str())) return false;
    // Idle: the form has been made and the message loop waits.
    ok(WaitForInputIdle(run.process.hProcess, TIMEOUT_MS) == 0, "launcher never idle\n");
    return true;
}

// A visible top-level dialog-class window of the process other than skip: the form or a box.
static HWND VisibleDialog(const Launch &run, HWND skip) {
    for (HWND hwnd = nullptr; (hwnd = FindWindowExA(nullptr, hwnd, "#32770", nullptr));) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid == run.process.dwProcessId && hwnd != skip && IsWindowVisible(hwnd)) return hwnd;
    }
    return nullptr;
}

static HWND FindDialog(const Launch &run, HWND skip) {
    HWND found = nullptr;
    Poll([&] { return (found = VisibleDialog(run, skip)) != nullptr; });
    return found;
}

// Sends only with a timeout: the launcher's one thread blocks while its child runs. Not
// SMTO_ABORTIFHUNG: Wine may call a freshly started process hung under load.
static LRESULT Ask(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(hwnd, message, wParam, lParam, SMTO_NORMAL, TIMEOUT_MS / 2, &result);
    return (LRESULT)result;
}

static std::string Text(HWND hwnd) {
    static char text[2048];
    text[0] = 0;
    Ask(hwnd, WM_GETTEXT, sizeof text, (LPARAM)text);
    return text;
}

static void Press(HWND dialog, int id, WORD code = BN_CLICKED) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)GetDlgItem(dialog, id));
}

// Keys as typed, unshifted: only TranslateMessage in the launcher's loop makes characters of them.
static void Type(HWND hwnd, const char *keys) {
    for (; *keys; ++keys) {
        UINT key = LOBYTE(VkKeyScanA(*keys)), scan = MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
        PostMessageA(hwnd, WM_KEYDOWN, key, 1 | scan << 16);
        PostMessageA(hwnd, WM_KEYUP, key, 1 | scan << 16 | 3u << 30);
    }
}

static HWND WaitForm(Launch &run) {
    run.form = FindDialog(run, nullptr);
    if (!ok(run.form != nullptr, "no visible form\n")) return nullptr;
    ok(Text(run.form) == "Pellomir Startup", "form caption %s\n", Show(Text(run.form)).c_str());
    return run.form;
}

static void CheckFields(HWND form, const char *const expected[4], const char *when) {
    for (int field = 0; field < 4; ++field) {
        std::string text = Text(GetDlgItem(form, FIELDS[field]));
        ok(text == expected[field], "%s: field %d holds %s, expected %s\n", when, FIELDS[field],
           Show(text).c_str(), Show(expected[field]).c_str());
    }
}

// The box's controls are asked, never the form: the form's thread is inside MessageBoxA.
static HWND CheckBox(const Launch &run, const char *text, HWND owner, bool icon) {
    HWND box = FindDialog(run, run.form);
    if (!ok(box != nullptr, "no message box %s\n", Show(text).c_str())) return nullptr;
    BoxView view = ReadBox(box);
    ok(!strcmp(view.text, text) && !strcmp(view.caption, "Error"), "box %s captioned %s\n",
       Show(view.text).c_str(), Show(view.caption).c_str());
    ok(view.owner == owner, "box owner %p, expected %p\n", (void *)view.owner, (void *)owner);
    ok(view.buttons == 1u << IDOK && !view.icon == !icon && !view.topmost,
       "box buttons %#x, icon %p, topmost %d\n", view.buttons, (void *)view.icon, view.topmost);
    return box;
}

static void Dismiss(HWND box) {
    Press(box, IDOK);
    ok(Poll([&] { return !IsWindow(box); }), "message box still there after OK\n");
}

// Closes the form (if any), lets a waiting probe go, and checks the exit status.
static void Finish(Launch &run, DWORD expected) {
    PutInPlace(run.dir + "\\go.txt", "0");
    if (run.form) PostMessageA(run.form, WM_CLOSE, 0, 0);
    DWORD status = STILL_ACTIVE;
    if (ok(WaitForSingleObject(run.process.hProcess, TIMEOUT_MS) == WAIT_OBJECT_0,
           "launcher still running\n"))
        GetExitCodeProcess(run.process.hProcess, &status);
    else
        TerminateProcess(run.process.hProcess, 255);
    CloseHandle(run.process.hThread);
    CloseHandle(run.process.hProcess);
    ok(status == expected, "exit status %lu, expected %lu\n", status, expected);
}

// ---- Startup: what the form shows, with and without config.ini.

struct StartupCase {
    const char *name, *ini, *args, *fields[4];
};

static const char MIXED[] = "time = 30\r\nmin=1\nRangeMax = 9\r\nops = add, sub";
static const StartupCase STARTUP[] = {
    {"lower case, long and short keys", MIXED, nullptr, {"30", "1", "9", "ADD, SUB"}},
    {"no config.ini", nullptr, nullptr, {"", "", "", ""}},
    {"one field", "\tOperations =  mul,div\n", nullptr, {"", "", "", "MUL,DIV"}},
    {"arguments ignored", MIXED, "other.ini /time 5 -min=2", {"30", "1", "9", "ADD, SUB"}},
};

static void RunStartup(const StartupCase &test, int index) {
    Launch run{Scratch("startup", index), {}, nullptr};
    if (test.ini) PutInPlace(run.dir + "\\config.ini", test.ini);
    if (!Start(run, launcher, test.args)) return;
    if (HWND form = WaitForm(run)) {
        CheckFields(form, test.fields, "at startup");
        // Another test's window may have taken the activation, and with it the thread's focus;
        // the dialog gives back the focus it had when it is activated again.
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        SetForegroundWindow(form);
        HWND begin = GetDlgItem(form, BEGIN);
        Poll([&] {
            GetGUIThreadInfo(run.process.dwThreadId, &gui);
            return gui.hwndActive == form && gui.hwndFocus;
        });
        ok(gui.hwndActive == form && gui.hwndFocus == begin,
           "active %p, focus on control %d; expected the form %p, Begin\n", (void *)gui.hwndActive,
           GetDlgCtrlID(gui.hwndFocus), (void *)form);
        // No dialog manager in the loop: Tab is the button's own key and moves nothing.
        Type(begin, "\t");
        int moved = 0;
        Poll(
            [&] {
                GetGUIThreadInfo(run.process.dwThreadId, &gui);
                return (moved = GetDlgCtrlID(gui.hwndFocus)) != 0 && moved != BEGIN;
            },
            500);
        ok(moved == 0 || moved == BEGIN, "Tab moved the focus to control %d\n", moved);
        for (int field : FIELDS) {
            LRESULT limit = Ask(GetDlgItem(form, field), EM_GETLIMITTEXT, 0, 0);
            ok(limit >= 30000, "field %d limited to %ld characters\n", field, (long)limit);
        }
    }
    Finish(run, 0);
}

// ---- Begin: config.ini written as typed, the child run, the form hidden meanwhile.

struct BeginCase {
    const char *name;
    int exitCode, runs;
    const char *fields[4], *file;
};

// clang-format off
static const BeginCase BEGINS[] = {
    {"typed text kept, two runs", 7, 2, {" 30 ", "-5", "abc", "add, Sub ,mul "},
     "Timelimit =  30 \r\nRangeMin = -5\r\nRangeMax = abc\r\nOperations = add, Sub ,mul "},
    {"empty fields", 0, 1, {"", "", "", ""},
     "Timelimit = \r\nRangeMin = \r\nRangeMax = \r\nOperations = "},
    {"600 characters", 0, 1, {longText, "1", "2", "x"}, longFile},
};
// clang-format on

static const char OLD_INI[] =
    "time=1\r\nmin=2\r\nmax=3\r\nops=4\r\n; older and longer than the new "
    "file, so that it must be truncated\r\n";
static const char CHILD_INI[] = "Timelimit = 99\r\nOperations = rewritten by the child";

static void CheckChild(const Launch &run, const BeginCase &test) {
    std::string report;
    if (!ok(Poll([&] { return !(report = ReadBytes(run.dir + "\\probe.txt")).empty(); }),
            "no report from the child in the working directory\n"))
        return;
    ok(Poll([&] { return !IsWindowVisible(run.form); }), "form visible while the child runs\n");
    std::string expected = "cmd=\"Bin\\Plurex.exe\"\ncwd=" + run.dir + "\nenv=" + tag +
                           "\nstart=flags=0 show=0 inherited=0\nini=" + test.file;
    ok(report == expected, "the child reported %s, expected %s\n", Show(report).c_str(),
       Show(expected).c_str());

    char orders[128];
    snprintf(orders, sizeof orders, "%d\n%s", test.exitCode, CHILD_INI);
    PutInPlace(run.dir + "\\go.txt", orders);
    ok(Poll([&] { return IsWindowVisible(run.form); }), "form hidden after the child ended\n");
}

static void RunBegin(const BeginCase &test, int index) {
    Launch run{Scratch("begin", index), {}, nullptr};
    PutInPlace(run.dir + "\\config.ini", OLD_INI);
    CreateDirectoryA((run.dir + "\\Bin").c_str(), nullptr);
    ok(CopyFileA(probe, (run.dir + "\\Bin\\Plurex.exe").c_str(), FALSE), "cannot copy %s\n", probe);
    if (!Start(run, launcher, nullptr)) return;
    if (HWND form = WaitForm(run)) {
        for (int field = 0; field < 4; ++field)
            Ask(GetDlgItem(form, FIELDS[field]), WM_SETTEXT, 0, (LPARAM)test.fields[field]);
        for (int round = 1; round <= test.runs; ++round) {
            DeleteFileA((run.dir + "\\probe.txt").c_str());
            DeleteFileA((run.dir + "\\go.txt").c_str());
            Press(form, BEGIN);
            CheckChild(run, test);
            std::string now = ReadBytes(run.dir + "\\config.ini");
            ok(now == CHILD_INI, "run %d: config.ini after the child %s\n", round,
               Show(now).c_str());
            CheckFields(form, test.fields, "after the child");
        }
    }
    Finish(run, 0);
}

// ---- No child: the start failure is reported over the form, which stays usable.

struct NoChildCase {
    const char *name, *plurex; // plurex: nullptr for no Bin folder, "" for an empty one
};

static const NoChildCase NOCHILD[] = {
    {"no Bin folder", nullptr},
    {"empty Bin folder", ""},
    {"Plurex.exe is no program", "plain text, not a program\r\n"},
};

static void RunNoChild(const NoChildCase &test, int index) {
    Launch run{Scratch("nochild", index), {}, nullptr};
    if (test.plurex) CreateDirectoryA((run.dir + "\\Bin").c_str(), nullptr);
    if (test.plurex && *test.plurex) PutInPlace(run.dir + "\\Bin\\Plurex.exe", test.plurex);
    if (!Start(run, launcher, nullptr)) return;
    if (HWND form = WaitForm(run)) {
        // Typed over, and the second time pressed with a notification code in the high word.
        const char *times[2] = {"5", "6 "};
        for (const char *time : times) {
            HWND edit = GetDlgItem(form, FIELDS[0]);
            Ask(edit, EM_SETSEL, 0, -1);
            Type(edit, time);
            ok(Poll([&] { return Text(edit) == time; }), "typed %s, the field shows %s\n",
               Show(time).c_str(), Show(Text(edit)).c_str());
            Press(form, BEGIN, time == times[0] ? BN_CLICKED : BN_DOUBLECLICKED);
            HWND box = CheckBox(run, "Could not spawn process.", form, false);
            ok(IsWindowVisible(form), "form hidden while the failure is shown\n");
            std::string ini = ReadBytes(run.dir + "\\config.ini"),
                        expected = std::string("Timelimit = ") + time +
                                   "\r\nRangeMin = \r\nRangeMax = \r\nOperations = ";
            ok(ini == expected, "config.ini %s, expected %s\n", Show(ini).c_str(),
               Show(expected).c_str());
            if (box) Dismiss(box);
            ok(IsWindowVisible(form), "form hidden after the failure\n");
        }
    }
    Finish(run, 0);
}

// ---- No template: a copy of the launcher whose dialog 101 is gone cannot make its form.

struct NoTemplateCase {
    const char *name;
    WORD renumbered; // 0: no resources at all; else the template under this id
};

static const NoTemplateCase NOTEMPLATE[] = {{"template removed", 0}, {"template renumbered", 102}};

static void RunNoTemplate(const NoTemplateCase &test, int index) {
    Launch run{Scratch("notemplate", index), {}, nullptr};
    std::string copy = run.dir + "\\NoForm.exe";
    ok(CopyFileA(launcher, copy.c_str(), FALSE), "cannot copy %s\n", launcher);
    // Wine keeps a resource that UpdateResource is asked to delete; dropping them all works.
    HMODULE original = LoadLibraryExA(launcher, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = FindResourceA(original, MAKEINTRESOURCEA(101), RT_DIALOG);
    HANDLE update = BeginUpdateResourceA(copy.c_str(), TRUE);
    bool rewritten =
        found && update &&
        (!test.renumbered || UpdateResourceA(update, RT_DIALOG, MAKEINTRESOURCEA(test.renumbered),
                                             MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                             LockResource(LoadResource(original, found)),
                                             SizeofResource(original, found))) &&
        EndUpdateResourceA(update, FALSE);
    ok(rewritten, "cannot rewrite the resources: error %lu\n", GetLastError());
    FreeLibrary(original);
    if (!Start(run, copy, nullptr)) return;
    if (HWND box = CheckBox(run, "Could not create window.", nullptr, true)) {
        HWND other = VisibleDialog(run, box);
        ok(!other, "another window %s besides the box\n", Show(Text(other)).c_str());
        Dismiss(box);
    }
    Finish(run, 1);
}

template <typename Case, size_t N>
static bool Group(const char *chosen, const char *group, const Case (&cases)[N],
                  void (*run)(const Case &, int)) {
    if (strcmp(chosen, group)) return false;
    for (size_t index = 0; index < N; ++index) {
        okContext = cases[index].name;
        run(cases[index], (int)index);
    }
    return true;
}

int main(int argc, char **argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    // Wine can take 10 s to start its desktop process: better here than inside a case.
    GetDesktopWindow();
    if (argc != 4) {
        printf("usage: driver <group> <launcher.exe> <probe.exe>\n");
        return 2;
    }
    // Wine takes a Unix path as one on the current drive; the full form serves every call.
    GetFullPathNameA(argv[2], sizeof launcher, launcher, nullptr);
    GetFullPathNameA(argv[3], sizeof probe, probe, nullptr);
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    snprintf(tag, sizeof tag, "%p", (void *)CreateEventA(&inheritable, TRUE, FALSE, nullptr));
    SetEnvironmentVariableA("PELLOMIR_E2E_TAG", tag);
    for (size_t i = 0; i < sizeof longText - 1; ++i) longText[i] = (char)('a' + i % 26);
    snprintf(longFile, sizeof longFile,
             "Timelimit = %.511s\r\nRangeMin = 1\r\nRangeMax = 2\r\nOperations = x", longText);

    const char *group = argv[1];
    if (!Group(group, "startup", STARTUP, RunStartup) && !Group(group, "begin", BEGINS, RunBegin) &&
        !Group(group, "nochild", NOCHILD, RunNoChild) &&
        !Group(group, "notemplate", NOTEMPLATE, RunNoTemplate)) {
        printf("unknown group %s\n", group);
        return 2;
    }
    return OkSummary();
}
