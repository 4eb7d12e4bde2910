// The startup form: four edit fields mirrored to "config.ini", and "Begin".
#pragma once
#include <windows.h>

INT_PTR CALLBACK StartupDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void LoadSettingsIntoForm(HWND hwnd);
void SaveFormAndLaunch(HWND hwnd);
