#include "ui/startup_dialog.h"

#include "launch/launch.h"
#include "settings/settings.h"
#include "ui/resource.h"

namespace {

const char SETTINGS_PATH[] = "config.ini";

// Indexed by SettingField.
const int FIELD_CONTROLS[SETTING_FIELD_COUNT] = {
    IDC_TIMELIMIT,
    IDC_RANGEMIN,
    IDC_RANGEMAX,
    IDC_OPERATIONS,
};

} // namespace

void LoadSettingsIntoForm(HWND hwnd) {
    SettingsRecord record = ReadSettingsFile(SETTINGS_PATH);
    for (int field = 0; field < SETTING_FIELD_COUNT; ++field) {
        const SettingValue &value = FieldValue(record, static_cast<SettingField>(field));
        if (value.present) SetDlgItemTextA(hwnd, FIELD_CONTROLS[field], value.text);
    }
}

void SaveFormAndLaunch(HWND hwnd) {
    char texts[SETTING_FIELD_COUNT][MAX_FIELD_TEXT];
    const char *values[SETTING_FIELD_COUNT];
    for (int field = 0; field < SETTING_FIELD_COUNT; ++field) {
        GetDlgItemTextA(hwnd, FIELD_CONTROLS[field], texts[field], MAX_FIELD_TEXT);
        values[field] = texts[field];
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
