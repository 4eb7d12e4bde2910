// Stands in for Bin\Plurex.exe: reports what it was started with to probe.txt, then waits for
// go.txt ("<exit code>\n<new config.ini bytes>"), rewrites config.ini and exits with that code.
#include <windows.h>
#include <stdlib.h>
#include <string>

static std::string ReadAll(HANDLE file) {
    std::string bytes;
    char chunk[4096];
    DWORD got;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

static void WriteAll(const char *path, const std::string &bytes) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put;
    WriteFile(file, bytes.data(), (DWORD)bytes.size(), &put, nullptr);
    CloseHandle(file);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char cwd[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof cwd, cwd);
    const char *tag = getenv("PELLOMIR_E2E_TAG");
    // No sharing: this open fails if the launcher still holds the file.
    HANDLE ini = CreateFileA("config.ini", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string report = std::string("cmd=") + GetCommandLineA() + "\ncwd=" + cwd +
                         "\nenv=" + (tag ? tag : "(unset)") + "\nini=" +
                         (ini == INVALID_HANDLE_VALUE ? "(cannot open alone)" : ReadAll(ini));
    // Renamed into place so that the driver never sees half a report.
    WriteAll("probe.tmp", report);
    MoveFileA("probe.tmp", "probe.txt");

    for (int waited = 0; waited < 30000; waited += 20) {
        HANDLE go = CreateFileA("go.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr);
        if (go != INVALID_HANDLE_VALUE) {
            std::string orders = ReadAll(go);
            size_t newline = orders.find('\n');
            if (newline != std::string::npos) WriteAll("config.ini", orders.substr(newline + 1));
            return atoi(orders.c_str());
        }
        Sleep(20);
    }
    return 99;
}
