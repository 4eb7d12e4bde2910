// Whole files as bytes over binary stdio, and bytes made readable in a failure message: shared by
// the settings tests, the fuzz target, the end-to-end driver and its probe child.
#pragma once
#include <stdio.h>
#include <string>

// Nothing for a file that cannot be opened.
inline std::string ReadBytes(const std::string &path) {
    std::string bytes;
    char block[4096];
    FILE *file = fopen(path.c_str(), "rb");
    for (size_t got; file && (got = fread(block, 1, sizeof block, file)) > 0;)
        bytes.append(block, got);
    if (file) fclose(file);
    return bytes;
}

inline bool WriteBytes(const std::string &path, const std::string &bytes) {
    FILE *file = fopen(path.c_str(), "wb");
    bool written = file && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return file && fclose(file) == 0 && written;
}

// Written under another name and renamed into place: the other side polls for these files and
// must never see half of one.
inline void PutInPlace(const std::string &path, const std::string &bytes) {
    WriteBytes(path + ".tmp", bytes);
    remove(path.c_str());
    rename((path + ".tmp").c_str(), path.c_str());
}

// Length and escaped bytes, so that a lost CR or a cut one byte short shows.
inline std::string Show(const std::string &bytes) {
    std::string shown = std::to_string(bytes.size()) + ":\"";
    for (unsigned char c : bytes) {
        char escaped[8];
        snprintf(escaped, sizeof escaped,
                 c == '\r'               ? "\\r"
                 : c == '\n'             ? "\\n"
                 : c == '\\' || c == '"' ? "\\%c"
                                         : "\\x%02X",
                 c);
        shown += c >= 0x20 && c < 0x7F && c != '\\' && c != '"' ? std::string(1, char(c)) : escaped;
    }
    return shown + "\"";
}
