// A message box as its user sees it, read through its windows from any thread or process.
#pragma once
#include <windows.h>

struct BoxView {
    char caption[64], text[256];
    HWND owner;
    unsigned buttons; // bit n: a visible button with id n
    HICON icon;       // what the icon control shows: Wine's box has one even without an icon
    bool topmost;
};

inline BoxView ReadBox(HWND box) {
    BoxView view{};
    GetWindowTextA(box, view.caption, sizeof view.caption);
    view.owner = GetWindow(box, GW_OWNER);
    view.topmost = (GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    for (HWND item = GetWindow(box, GW_CHILD); item; item = GetWindow(item, GW_HWNDNEXT)) {
        // The buttons have the small ids (IDOK and the like), the text is a static of id -1.
        DWORD style = GetWindowLongA(item, GWL_STYLE), id = GetDlgCtrlID(item);
        if (!(style & WS_VISIBLE)) continue;
        if ((style & SS_TYPEMASK) == SS_ICON)
            SendMessageTimeoutA(item, STM_GETICON, 0, 0, SMTO_NORMAL, 5000, (PDWORD_PTR)&view.icon);
        else if (id < 32)
            view.buttons |= 1u << id;
        else if (id == 0xFFFF)
            GetWindowTextA(item, view.text, sizeof view.text);
    }
    return view;
}
