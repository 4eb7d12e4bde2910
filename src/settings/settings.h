// The settings file "config.ini": a lenient reader and a fixed four-line writer.
// Portable C++ over binary stdio, with no Windows header; it allocates nothing beyond what stdio
// takes for an open file and its buffer.
#pragma once

constexpr int MAX_FIELD_TEXT = 512;

enum SettingField { TimeLimit, RangeMin, RangeMax, Operations };
constexpr int SETTING_FIELD_COUNT = Operations + 1;

struct SettingValue {
    bool present;
    char text[MAX_FIELD_TEXT];
};

struct SettingsRecord {
    SettingValue timeLimit, rangeMin, rangeMax, operations;
};

// Never fails: a file that cannot be opened gives a record with every value absent.
SettingsRecord ReadSettingsFile(const char *path);

// values[] in SettingField order. Reports nothing: an unwritable path writes nothing.
void WriteSettingsFile(const char *path, const char *const values[SETTING_FIELD_COUNT]);

// Skips leading blanks, cuts the text at the next blank; works in place.
char *FirstWord(char *text);

SettingValue &FieldValue(SettingsRecord &record, SettingField field);
