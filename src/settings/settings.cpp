#include "settings/settings.h"

#include <stdio.h>
#include <string.h>

namespace {

const int NO_MORE_BYTES = -1;
const int CONTROL_Z = 0x1A; // the text-mode end of a file

// Reads a file under its byte rules: CR LF reads as LF, a lone CR is kept,
// and the first 0x1A ends the file. Binary stdio below, so no runtime translates twice.
struct ByteSource {
    FILE *file;
    size_t next, size;
    bool lastBlock;
    unsigned char block[4096];
};

int PeekByte(ByteSource &source) {
    if (source.next == source.size) {
        if (source.lastBlock) return NO_MORE_BYTES;
        source.next = 0;
        source.size = fread(source.block, 1, sizeof source.block, source.file);
        // A short read, at the end of the file or on a read error, is the last: whatever a later
        // read might bring (an error that passed, a file that grew) lies past the end.
        source.lastBlock = source.size < sizeof source.block;
        if (source.size == 0) return NO_MORE_BYTES;
    }
    int byte = source.block[source.next];
    if (byte == CONTROL_Z) {
        source.lastBlock = true;
        source.size = source.next;
        return NO_MORE_BYTES;
    }
    return byte;
}

int NextByte(ByteSource &source) {
    int byte = PeekByte(source);
    if (byte == NO_MORE_BYTES) return byte;
    ++source.next;
    // The peek may refill the block: a CR that ended the last block still pairs with its LF.
    if (byte == '\r' && PeekByte(source) == '\n') {
        ++source.next;
        return '\n';
    }
    return byte;
}

void SkipRestOfLine(ByteSource &source) {
    int byte;
    do byte = NextByte(source);
    while (byte != NO_MORE_BYTES && byte != '\n');
}

// Stores up to MAX_FIELD_TEXT - 1 bytes of the next line. A longer line keeps its head and
// loses its tail, so that the lines after it are still read. False once the file has ended.
bool ReadLine(ByteSource &source, char (&line)[MAX_FIELD_TEXT]) {
    int length = 0;
    int byte = NextByte(source);
    bool gotLine = byte != NO_MORE_BYTES;
    while (byte != NO_MORE_BYTES && byte != '\n') {
        if (length == MAX_FIELD_TEXT - 1) {
            SkipRestOfLine(source);
            break;
        }
        line[length++] = static_cast<char>(byte);
        byte = NextByte(source);
    }
    line[length] = '\0';
    return gotLine;
}

// Only a to z: the result must not depend on the locale or the code page.
void UpperCaseAscii(char *text) {
    for (; *text; ++text)
        if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - ('a' - 'A'));
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char *SkipBlanks(char *text) {
    while (IsBlank(*text)) ++text;
    return text;
}

struct KeyName {
    const char *key;
    SettingField field;
};

// In the order they are tried; each field has a long and a short key.
const KeyName KEY_NAMES[] = {
    {"TIMELIMIT", TimeLimit},   {"TIME", TimeLimit}, //
    {"RANGEMIN", RangeMin},     {"MIN", RangeMin},   //
    {"RANGEMAX", RangeMax},     {"MAX", RangeMax},   //
    {"OPERATIONS", Operations}, {"OPS", Operations}, //
};

void ApplyLine(SettingsRecord &record, char *line) {
    UpperCaseAscii(line);
    char *key = line;
    while (*key == '=') ++key;
    char *equals = strchr(key, '=');
    if (*key == '\0' || !equals || equals[1] == '\0') return;
    *equals = '\0';
    key = FirstWord(key);
    const char *value = SkipBlanks(equals + 1);
    for (const KeyName &name : KEY_NAMES) {
        if (strcmp(key, name.key) != 0) continue;
        SettingValue &slot = FieldValue(record, name.field);
        slot.present = true;
        strcpy(slot.text, value); // fits: value lies inside a MAX_FIELD_TEXT line
        return;
    }
}

struct Label {
    SettingField field;
    const char *text;
};

// The lines of the file, in the order they are written.
const Label LABELS[] = {
    {TimeLimit, "Timelimit = "},
    {RangeMin, "RangeMin = "},
    {RangeMax, "RangeMax = "},
    {Operations, "Operations = "},
};

// Every LF, at a line end or inside a value, goes to disk as CR LF; no other byte changes.
void WriteText(FILE *file, const char *text) {
    while (*text) {
        size_t run = strcspn(text, "\n");
        fwrite(text, 1, run, file);
        text += run;
        if (*text == '\n') {
            fwrite("\r\n", 1, 2, file);
            ++text;
        }
    }
}

} // namespace

SettingValue &FieldValue(SettingsRecord &record, SettingField field) {
    switch (field) {
    case TimeLimit: return record.timeLimit;
    case RangeMin: return record.rangeMin;
    case RangeMax: return record.rangeMax;
    case Operations: break;
    }
    return record.operations;
}

char *FirstWord(char *text) {
    text = SkipBlanks(text);
    char *end = text;
    while (*end && !IsBlank(*end)) ++end;
    *end = '\0';
    return text;
}

SettingsRecord ReadSettingsFile(const char *path) {
    SettingsRecord record{};
    ByteSource source{};
    source.file = fopen(path, "rb");
    if (!source.file) return record;
    char line[MAX_FIELD_TEXT];
    while (ReadLine(source, line)) ApplyLine(record, line);
    fclose(source.file);
    return record;
}

void WriteSettingsFile(const char *path, const char *const values[SETTING_FIELD_COUNT]) {
    FILE *file = fopen(path, "wb");
    if (!file) return;
    for (const Label &label : LABELS) {
        WriteText(file, label.text);
        WriteText(file, values[label.field]);
        if (&label != &LABELS[sizeof LABELS / sizeof *LABELS - 1]) WriteText(file, "\n");
        fflush(file);
    }
    fclose(file);
}
