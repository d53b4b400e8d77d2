// Message maps: a class's table from window message or command to handler. Each kind of entry states its
// handler's signature once, here; the entry cracks the message's parameters and calls the handler.
//
//   BEGIN_MESSAGE_MAP(CSetupDlg, CDialog)
//       ON_WM_PAINT(OnPaint)                      void OnPaint()
//       ON_BN_CLICKED(IDC_INSTALL, OnInstall)     void OnInstall()
//   END_MESSAGE_MAP()
//
// A class with a map says DECLARE_MESSAGE_MAP() in its body. A handler that wants the window's default
// handling as well calls Default().
#pragma once

#include "win32api.h"

class CWnd;

struct MessageEntry {
    UINT message;
    UINT code;      // WM_COMMAND entries: the notification code
    UINT id_first;  // WM_COMMAND entries: the command or control ids
    UINT id_last;
    LRESULT (*invoke)(CWnd* self, WPARAM wparam, LPARAM lparam);
};

struct MessageMap {
    const MessageMap* base;
    const MessageEntry* entries;  // ends with an entry whose invoke is null
};

namespace message_crackers {

template <class T, void (T::*F)()>
LRESULT NoArguments(CWnd* self, WPARAM, LPARAM) {
    (static_cast<T*>(self)->*F)();
    return 0;
}
template <class T, void (T::*F)(UINT, LPARAM)>
LRESULT SysCommand(CWnd* self, WPARAM wparam, LPARAM lparam) {
    (static_cast<T*>(self)->*F)(static_cast<UINT>(wparam), lparam);
    return 0;
}
template <class T, HCURSOR (T::*F)()>
LRESULT QueryDragIcon(CWnd* self, WPARAM, LPARAM) {
    return reinterpret_cast<LRESULT>((static_cast<T*>(self)->*F)());
}
template <class T, void (T::*F)(UINT_PTR)>
LRESULT Timer(CWnd* self, WPARAM wparam, LPARAM) {
    (static_cast<T*>(self)->*F)(static_cast<UINT_PTR>(wparam));
    return 0;
}
template <class T, void (T::*F)(UINT, POINT)>
LRESULT Mouse(CWnd* self, WPARAM wparam, LPARAM lparam) {
    POINT point = {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
    (static_cast<T*>(self)->*F)(static_cast<UINT>(wparam), point);
    return 0;
}

}  // namespace message_crackers

#define DECLARE_MESSAGE_MAP()                     \
  protected:                                      \
    static const MessageMap* GetThisMessageMap(); \
    const MessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)            \
    const MessageMap* theClass::GetMessageMap() const {   \
        return GetThisMessageMap();                       \
    }                                                     \
    const MessageMap* theClass::GetThisMessageMap() {     \
        typedef theClass ThisClass;                       \
        typedef baseClass TheBaseClass;                   \
        (void)sizeof(ThisClass); /* a map may be empty */ \
        static const MessageEntry entries[] = {
#define END_MESSAGE_MAP()                                                       \
    { 0, 0, 0, 0, nullptr }                                                     \
    }                                                                           \
    ;                                                                           \
    static const MessageMap map = {TheBaseClass::GetThisMessageMap(), entries}; \
    return &map;                                                                \
    }

#define ON_MESSAGE_NO_ARGUMENTS(message, handler) \
    {message, 0, 0, 0, &message_crackers::NoArguments<ThisClass, &ThisClass::handler>},
#define ON_WM_PAINT(handler) ON_MESSAGE_NO_ARGUMENTS(WM_PAINT, handler)
#define ON_WM_DESTROY(handler) ON_MESSAGE_NO_ARGUMENTS(WM_DESTROY, handler)
#define ON_WM_SYSCOMMAND(handler) \
    {WM_SYSCOMMAND, 0, 0, 0, &message_crackers::SysCommand<ThisClass, &ThisClass::handler>},
#define ON_WM_QUERYDRAGICON(handler) \
    {WM_QUERYDRAGICON, 0, 0, 0, &message_crackers::QueryDragIcon<ThisClass, &ThisClass::handler>},
#define ON_WM_TIMER(handler) {WM_TIMER, 0, 0, 0, &message_crackers::Timer<ThisClass, &ThisClass::handler>},
#define ON_WM_MOUSEMOVE(handler) \
    {WM_MOUSEMOVE, 0, 0, 0, &message_crackers::Mouse<ThisClass, &ThisClass::handler>},
#define ON_WM_LBUTTONDOWN(handler) \
    {WM_LBUTTONDOWN, 0, 0, 0, &message_crackers::Mouse<ThisClass, &ThisClass::handler>},
#define ON_BN_CLICKED(id, handler) \
    {WM_COMMAND, BN_CLICKED, id, id, &message_crackers::NoArguments<ThisClass, &ThisClass::handler>},
#define ON_COMMAND(id, handler) \
    {WM_COMMAND, 0, id, id, &message_crackers::NoArguments<ThisClass, &ThisClass::handler>},
