// Starts "Bin\Plurex.exe" and keeps the form hidden until it has ended.
#pragma once
#include <windows.h>

// Blocks the calling (user-interface) thread until the child has ended,
// or until the user has dismissed the message that it could not start.
void RunChildAndWait(HWND hwnd);
