// libFuzzer target: any bytes read as config.ini give well-formed values, the same ones behind
// an extra empty line, and writing them and reading them again gives them back, cut only where a
// line outgrows the buffer.
#include "settings/settings.h"

#include "bytes.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace {

char path[64];
const char *const LABELS[SETTING_FIELD_COUNT] = {
    "Timelimit = ", "RangeMin = ", "RangeMax = ", "Operations = "};

void Check(bool holds) {
    if (!holds) __builtin_trap();
}

void WriteFile(const char *head, const uint8_t *data, size_t size) {
    if (!WriteBytes(path, head + std::string(reinterpret_cast<const char *>(data), size))) abort();
}

bool WellFormed(const char *text) {
    if (strlen(text) >= MAX_FIELD_TEXT || *text == ' ' || *text == '\t') return false;
    for (; *text; ++text)
        if (*text == '\n' || *text == 0x1A || (*text >= 'a' && *text <= 'z')) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!path[0]) snprintf(path, sizeof path, "/dev/shm/pellomir-fuzz-%d.ini", (int)getpid());
    WriteFile("", data, size);
    SettingsRecord first = ReadSettingsFile(path);
    // An empty line in front changes nothing, though every byte moves against the blocks read.
    WriteFile("\n", data, size);
    SettingsRecord shifted = ReadSettingsFile(path);
    const char *values[SETTING_FIELD_COUNT];
    for (int field = 0; field < SETTING_FIELD_COUNT; ++field) {
        const SettingValue &value = FieldValue(first, static_cast<SettingField>(field));
        Check(!value.present || WellFormed(value.text));
        const SettingValue &again = FieldValue(shifted, static_cast<SettingField>(field));
        Check(again.present == value.present &&
              (!value.present || !strcmp(again.text, value.text)));
        values[field] = value.present ? value.text : "";
    }

    WriteSettingsFile(path, values);
    SettingsRecord second = ReadSettingsFile(path);
    unlink(path);
    for (int field = 0; field < SETTING_FIELD_COUNT; ++field) {
        const SettingValue &value = FieldValue(second, static_cast<SettingField>(field));
        size_t room = MAX_FIELD_TEXT - 1 - strlen(LABELS[field]);
        size_t length = strlen(values[field]) < room ? strlen(values[field]) : room;
        Check(value.present && strlen(value.text) == length &&
              memcmp(value.text, values[field], length) == 0);
    }
    return 0;
}
