#include <windows.h>

#include "ui/resource.h"
#include "ui/startup_dialog.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    HWND dialog =
        CreateDialogParamA(hInstance, MAKEINTRESOURCEA(IDD_STARTUP), nullptr, StartupDialogProc, 0);
    if (!dialog) {
        MessageBoxA(nullptr, "Could not create window.", "Error", MB_ICONWARNING);
        return 1;
    }
    // No IsDialogMessage: the form takes no dialog keyboard handling (Tab, Enter, Esc).
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) != 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
