#include "ui/startup_dialog.h"

#include "launch/launch.h"
#include "settings/settings.h"
#include "ui/resource.h"

namespace {

const char SETTINGS_PATH[] = "config.ini";

struct FieldControl {
    SettingField field;
    int control;
};

// Each field's edit control, read from the form in this order; the enum's order plays no part.
const FieldControl FIELD_CONTROLS[] = {
    {TimeLimit, IDC_TIMELIMIT},
    {RangeMin, IDC_RANGEMIN},
    {RangeMax, IDC_RANGEMAX},
    {Operations, IDC_OPERATIONS},
};
static_assert(sizeof FIELD_CONTROLS / sizeof *FIELD_CONTROLS == SETTING_FIELD_COUNT,
              "every field has its control");

} // namespace

void LoadSettingsIntoForm(HWND hwnd) {
    SettingsRecord record = ReadSettingsFile(SETTINGS_PATH);
    for (const FieldControl &pair : FIELD_CONTROLS) {
        const SettingValue &value = FieldValue(record, pair.field);
        if (value.present) SetDlgItemTextA(hwnd, pair.control, value.text);
    }
}

void SaveFormAndLaunch(HWND hwnd) {
    char texts[SETTING_FIELD_COUNT][MAX_FIELD_TEXT];
    const char *values[SETTING_FIELD_COUNT];
    for (const FieldControl &pair : FIELD_CONTROLS) {
        GetDlgItemTextA(hwnd, pair.control, texts[pair.field], MAX_FIELD_TEXT);
        values[pair.field] = texts[pair.field];
    }
    WriteSettingsFile(SETTINGS_PATH, values);
    RunChildAndWait(hwnd);
}

INT_PTR CALLBACK StartupDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        LoadSettingsIntoForm(hwnd);
        return TRUE; // focus goes to the first tab stop, "Begin"
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_BEGIN) SaveFormAndLaunch(hwnd);
        return TRUE;
    case WM_CLOSE: DestroyWindow(hwnd); return TRUE;
    case WM_DESTROY: PostQuitMessage(0); return TRUE;
    }
    return FALSE;
}
