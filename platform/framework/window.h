// A window of the framework: a handle, a message map, and one-line wrappers of the window functions.
#pragma once

#include "framework/message_map.h"

class CWnd {
  public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }

    // Attributes.
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL GetClientRect(LPRECT rect) const { return ::GetClientRect(m_hWnd, rect); }
    BOOL GetWindowRect(LPRECT rect) const { return ::GetWindowRect(m_hWnd, rect); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

    // Operations.
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE) {
        return ::MoveWindow(m_hWnd, x, y, width, height, repaint);
    }
    BOOL SetWindowTextA(LPCSTR text) { return ::SetWindowTextA(m_hWnd, text); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL RedrawWindow(const RECT* update, UINT flags) {
        return ::RedrawWindow(m_hWnd, update, nullptr, flags);
    }
    LRESULT SendMessageA(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
        return ::SendMessageA(m_hWnd, message, wparam, lparam);
    }
    BOOL PostMessageA(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
        return ::PostMessageA(m_hWnd, message, wparam, lparam);
    }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse_ms) { return ::SetTimer(m_hWnd, id, elapse_ms, nullptr); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    HMENU GetSystemMenu(BOOL revert) { return ::GetSystemMenu(m_hWnd, revert); }
    HICON SetIcon(HICON icon, BOOL big) {
        return reinterpret_cast<HICON>(
            SendMessageA(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
    }

    // Message handling: the map of the most derived class first, then its bases'.
    static const MessageMap* GetThisMessageMap();
    virtual const MessageMap* GetMessageMap() const { return GetThisMessageMap(); }
    // Calls the handler the map has for the message; false when none has it or the handler asked for
    // Default().
    bool OnWndMsg(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);

  protected:
    // From a handler: let the window's default handling run after the handler.
    void Default() { m_default_wanted = true; }

  private:
    bool m_default_wanted = false;
};
