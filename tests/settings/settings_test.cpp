// config.ini: the reader's byte and line rules, the writer's exact bytes, and unusable paths.
#include "settings/settings.h"

#include "bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <string>
#ifdef _WIN32
#include <windows.h>
#endif

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

// One text per field, in SettingField order; nullptr stands for an absent value.
using Texts = std::array<const char *, SETTING_FIELD_COUNT>;
constexpr Texts NONE = {nullptr, nullptr, nullptr, nullptr};
constexpr const char *FIELD_NAMES[] = {"timeLimit", "rangeMin", "rangeMax", "operations"};
static_assert(std::size(FIELD_NAMES) == SETTING_FIELD_COUNT, "one name per field");

std::string ShowValue(const char *text) { return text ? Show(text) : "absent"; }

void ExpectRecord(SettingsRecord record, const Texts &want, const std::string &what) {
    for (int field = 0; field < SETTING_FIELD_COUNT; ++field) {
        const SettingValue &got = FieldValue(record, static_cast<SettingField>(field));
        EXPECT_EQ(ShowValue(want[field]), ShowValue(got.present ? got.text : nullptr))
            << what << ": wrong " << FIELD_NAMES[field];
    }
}

// Lines without "=" that fill exactly `size` bytes: puts what follows at a chosen offset.
std::string Filler(size_t size) {
    std::string bytes;
    while (bytes.size() < size)
        bytes += std::string(std::min<size_t>(64, size - bytes.size()) - 1, '.') + '\n';
    return bytes;
}

const char *const SOME_VALUES[SETTING_FIELD_COUNT] = {"30", "1", "10", "add"};

// Linked with --wrap=fread: the next read returns at most this many bytes, as a read error or the
// end of a file that then grows would, and the reads after it are whole again.
size_t shortRead = SIZE_MAX;

} // namespace

extern "C" size_t __real_fread(void *data, size_t size, size_t count, FILE *file);
extern "C" size_t __wrap_fread(void *data, size_t size, size_t count, FILE *file) {
    size_t most = shortRead;
    shortRead = SIZE_MAX;
    return __real_fread(data, size, std::min(count, most), file);
}

TEST(SettingsFile, ReadsByTheByteAndLineRules) {
    const std::string a507(507, 'a'), A507(507, 'A'), head = "OPS=" + a507;
    const char *N = nullptr, *L = A507.c_str();
    // The reader takes the file in blocks of 4096 bytes: Filler(4089) + "TIME=5" puts a CR at 4095.
    struct Row {
        const char *name;
        std::string bytes;
        Texts want;
        size_t shortRead = SIZE_MAX;
    } rows[] = {
        // clang-format off
        {"long keys, CR LF", "Timelimit = 30\r\nRangeMin = -1\r\nRangeMax = 9\r\nOperations = a,b", {"30", "-1", "9", "A,B"}},
        {"short keys, LF", "time=30\nmin=-1\nmax=9\nops=a,b\n", {"30", "-1", "9", "A,B"}},
        {"a to z only", "oPeRaTiOnS=az`{@[~\xE4\xFC\xB5 mul\n", {N, N, N, "AZ`{@[~\xE4\xFC\xB5 MUL"}},
        {"lone CR kept", "TIME=a\rb\nMAX=3\r\r\nMIN=2\r", {"A\rB", "2\r", "3\r", N}},
        {"0x1A ends the file", "TIME=1\nMIN=2\x1AZ\nMAX=4\n", {"1", "2", N, N}},
        {"0x1A after CR", "TIME=1\r\x1A\nMIN=2\n", {"1\r", N, N, N}},
        {"0x1A first", "\x1ATIME=1\n", NONE},
        {"leading = skipped", "==TIME=5\n=\n==\n= \n", {"5", N, N, N}},
        {"first = splits", "OPS==a=b\nTIME = = 5 \n", {"= 5 ", N, N, "=A=B"}},
        {"nothing after =", "TIME=1\nTIME=\nMIN=", {"1", N, N, N}},
        {"one blank after =", "TIME= \nMAX=\t\n", {"", N, "", N}},
        {"key cut at a blank", "Time Limit = 30\nRange Min = 1\n", {"30", N, N, N}},
        {"keys that only begin alike", "MINIMUM=1\nTIMELIMITS=2\nOP=3\nMAXI=4\nTIM=5\n", NONE},
        {"blanks and tabs", " \t ops \t=\t  a b \t\n \tmax\t= 7\n", {N, N, "7", "A B \t"}},
        {"later line wins", "TIME=1\nTIMELIMIT=2\nOPERATIONS=a\nOPS=b\nMAX=3\nRANGEMAX=\n", {"2", N, "3", "B"}},
        {"unusable lines skipped", "\n\nTIME 5\n\r\n[section]\nMIN=2\n\n", {N, "2", N, N}},
        {"NUL inside a line", "TIME=1\0MIN=2\nMAX=3"s, {"1", N, "3", N}},
        {"byte-order mark", "\xEF\xBB\xBFTIME=1\nMIN=2", {N, "2", N, N}},
        {"empty file", "", NONE},
        {"511 chars, LF", head + "\nTIME=1", {"1", N, N, L}},
        {"511 chars, CR LF", head + "\r\nTIME=1\r\n", {"1", N, N, L}},
        {"512 chars", head + "b\nTIME=1", {"1", N, N, L}},
        {"tail is no line", head + "TIME=9\nMIN=1", {N, "1", N, L}},
        {"lone CR 512th", head + "\rTIME=9\r\nMIN=1", {N, "1", N, L}},
        {"= in the tail only", std::string(600, ' ') + "TIME=1\nMIN=2", {N, "2", N, N}},
        {"0x1A in the tail", head + std::string(99, 'c') + "\x1A\nTIME=1", {N, N, N, L}},
        {"long last line", head + std::string(600, 'c'), {N, N, N, L}},
        {"CR LF across blocks", Filler(4089) + "TIME=5\r\nMIN=2", {"5", "2", N, N}},
        {"CR ends block and file", Filler(4089) + "TIME=5\r", {"5\r", N, N, N}},
        {"CR ends block, 0x1A", Filler(4089) + "TIME=5\r\x1AMIN=2\n", {"5\r", N, N, N}},
        {"long line across blocks", Filler(4000) + head + "TIME=9\nMIN=2", {N, "2", N, L}},
        {"short read ends the file", "TIME=1\nMIN=2\n", {"1", N, N, N}, 7},
        // clang-format on
    };
    for (const Row &row : rows) {
        WriteBytes("read.ini", row.bytes);
        shortRead = row.shortRead;
        ExpectRecord(ReadSettingsFile("read.ini"), row.want, row.name);
    }
}

TEST(SettingsFile, WritesFourLabelledLinesOverOldContent) {
    const std::string x600(600, 'x');
    struct Row {
        Texts values;
        std::string bytes;
    } rows[] = {
        // clang-format off
        {{"30", "1", "10", "add,sub"}, "Timelimit = 30\r\nRangeMin = 1\r\nRangeMax = 10\r\nOperations = add,sub"},
        {{"", "", "", ""}, "Timelimit = \r\nRangeMin = \r\nRangeMax = \r\nOperations = "},
        {{"a\nb", "c\rd", "e\r\nf", " g\xE4\n"}, "Timelimit = a\r\nb\r\nRangeMin = c\rd\r\nRangeMax = e\r\r\nf\r\nOperations =  g\xE4\r\n"},
        {{x600.c_str(), "", "", x600.c_str()}, "Timelimit = " + x600 + "\r\nRangeMin = \r\nRangeMax = \r\nOperations = " + x600},
        // clang-format on
    };
    for (const Row &row : rows) {
        WriteBytes("write.ini", std::string(10000, '#'));
        WriteSettingsFile("write.ini", row.values.data());
        EXPECT_EQ(row.bytes, ReadBytes("write.ini"));
    }
}

TEST(SettingsFile, ReadsBackWhatItWrote) {
    const std::string a600(600, 'a'), A499(499, 'A'), A498(498, 'A');
    struct Row {
        Texts values, want;
    } rows[] = {
        // clang-format off
        {{" 30", "-5 ", "", "add, Sub\tmul"}, {"30", "-5 ", "", "ADD, SUB\tMUL"}},
        {{"\t1\r", "x=y", "\xE4\xF6", "="}, {"1\r", "X=Y", "\xE4\xF6", "="}},
        // A line longer than 511 characters is cut, and the lines after it still count.
        {{a600.c_str(), "2", "3", a600.c_str()}, {A499.c_str(), "2", "3", A498.c_str()}},
        // clang-format on
    };
    for (const Row &row : rows) {
        WriteSettingsFile("roundtrip.ini", row.values.data());
        ExpectRecord(ReadSettingsFile("roundtrip.ini"), row.want, "written and read back");
    }
}

TEST(SettingsFile, UnusablePathsReadAsAbsentAndWriteNothing) {
    std::error_code error;
    fs::remove("absent.ini", error);
    ExpectRecord(ReadSettingsFile("absent.ini"), NONE, "missing file");

    fs::remove_all("no-folder", error);
    WriteSettingsFile("no-folder/config.ini", SOME_VALUES);
    EXPECT_FALSE(fs::exists("no-folder")) << "a missing folder was created";
    ExpectRecord(ReadSettingsFile("no-folder/config.ini"), NONE, "file in a missing folder");

    fs::remove_all("in-the-way", error);
    ASSERT_TRUE(fs::create_directories("in-the-way/config.ini", error)) << error.message();
    ExpectRecord(ReadSettingsFile("in-the-way/config.ini"), NONE, "directory named config.ini");
    WriteSettingsFile("in-the-way/config.ini", SOME_VALUES);
    EXPECT_TRUE(fs::is_directory("in-the-way/config.ini")) << "the directory was replaced";
    EXPECT_TRUE(fs::is_empty("in-the-way/config.ini")) << "something was written into it";
}

TEST(SettingsFile, ReadOnlyFileIsReadAndNotWritten) {
    const char *path = "read-only.ini";
    const fs::perms writable = fs::perms::owner_read | fs::perms::owner_write;
    std::error_code error;
    fs::permissions(path, writable, error); // left by an earlier run
    WriteBytes(path, "TIME=7\n");
    fs::permissions(path, fs::perms::owner_read, error);
    ASSERT_FALSE(error) << error.message();
    ExpectRecord(ReadSettingsFile(path), {"7", nullptr, nullptr, nullptr}, "read-only file");
    // Root on Linux may write a read-only file; the write check needs a platform that refuses.
    if (FILE *probe = fopen(path, "r+b")) {
        fclose(probe);
        printf("note: read-only files are writable here; write not checked\n");
    } else {
        WriteSettingsFile(path, SOME_VALUES);
        EXPECT_EQ("TIME=7\n", ReadBytes(path)) << "a read-only file was changed";
    }
    fs::permissions(path, writable, error);
}

#ifdef _WIN32
// Another program holds the file without sharing it: nothing is read, nothing is written.
TEST(SettingsFile, LockedFileIsNeitherReadNorWritten) {
    WriteBytes("locked.ini", "TIME=7\n");
    HANDLE lock = CreateFileA("locked.ini", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock) << "cannot lock: error " << GetLastError();
    ExpectRecord(ReadSettingsFile("locked.ini"), NONE, "locked file");
    WriteSettingsFile("locked.ini", SOME_VALUES);
    CloseHandle(lock);
    EXPECT_EQ("TIME=7\n", ReadBytes("locked.ini")) << "a locked file was changed";
}
#endif
