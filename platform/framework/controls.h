// The standard controls as members of a dialog, bound by id: one-line wrappers over their messages.
#pragma once

#include "framework/window.h"

class CStatic : public CWnd {
  public:
    HBITMAP SetBitmap(HBITMAP bitmap) {
        return reinterpret_cast<HBITMAP>(
            SendMessageA(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    }
    HBITMAP GetBitmap() { return reinterpret_cast<HBITMAP>(SendMessageA(STM_GETIMAGE, IMAGE_BITMAP, 0)); }
};

class CListBox : public CWnd {
  public:
    int AddString(LPCSTR text) {
        return static_cast<int>(SendMessageA(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    int DeleteString(UINT index) { return static_cast<int>(SendMessageA(LB_DELETESTRING, index, 0)); }
    int GetCount() { return static_cast<int>(SendMessageA(LB_GETCOUNT, 0, 0)); }
    int SetCurSel(int index) {
        return static_cast<int>(SendMessageA(LB_SETCURSEL, static_cast<WPARAM>(index), 0));
    }
    int GetText(int index, LPSTR buffer) {
        return static_cast<int>(
            SendMessageA(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer)));
    }
    int GetTextLen(int index) {
        return static_cast<int>(SendMessageA(LB_GETTEXTLEN, static_cast<WPARAM>(index), 0));
    }
};

class CButton : public CWnd {
  public:
    int GetCheck() { return static_cast<int>(SendMessageA(BM_GETCHECK, 0, 0)); }
    void SetCheck(int check) { SendMessageA(BM_SETCHECK, static_cast<WPARAM>(check), 0); }
    void Click() { SendMessageA(BM_CLICK, 0, 0); }
};
