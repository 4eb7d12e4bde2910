// The stand-in child: shows what it finds in config.ini, in the working directory it inherited.
#include <windows.h>
#include <string.h>

#include "settings/settings.h"

namespace {

// Appends the label and the value, or "(absent)", to text.
void AppendLine(char *text, const char *label, const SettingValue &value) {
    strcat(text, label);
    strcat(text, value.present ? value.text : "(absent)");
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    SettingsRecord record = ReadSettingsFile("config.ini");
    char text[4 * MAX_FIELD_TEXT + 64] = "";
    AppendLine(text, "Time limit: ", record.timeLimit);
    AppendLine(text, "\nMinimum: ", record.rangeMin);
    AppendLine(text, "\nMaximum: ", record.rangeMax);
    AppendLine(text, "\nOperations: ", record.operations);
    MessageBoxA(nullptr, text, "Plurex", MB_OK);
    return 0;
}
