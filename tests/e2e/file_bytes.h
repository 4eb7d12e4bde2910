// Whole files as bytes, shared by the driver and its probe child.
#pragma once
#include <windows.h>
#include <string>

// Reads the rest of an open file, then closes it.
inline std::string ReadAndClose(HANDLE file) {
    std::string bytes;
    char chunk[4096];
    DWORD got;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

// Written under a temporary name and renamed into place: the other side polls for these files
// and must never see half of one.
inline void PutInPlace(const std::string &path, const std::string &bytes) {
    std::string temporary = path + ".tmp";
    HANDLE file =
        CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put;
    WriteFile(file, bytes.data(), (DWORD)bytes.size(), &put, nullptr);
    CloseHandle(file);
    MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}
