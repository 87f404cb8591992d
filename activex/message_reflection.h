// Child-window notifications reflected back to the control that owns the child. A container
// that reflects sends a child's WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR* ... to the control's window
// as OCM_COMMAND, OCM_NOTIFY, OCM_CTLCOLOR* (the message plus OCM__BASE). A control that does
// not handle one passes it here; the default window procedure then sees the original message.
#pragma once

#include <windows.h>
#include <olectl.h>

namespace activex {

inline bool IsReflectedNotification(UINT message) {
  switch (message) {
    case OCM_COMMAND:
    case OCM_NOTIFY:
    case OCM_PARENTNOTIFY:
    case OCM_DRAWITEM:
    case OCM_MEASUREITEM:
    case OCM_COMPAREITEM:
    case OCM_DELETEITEM:
    case OCM_VKEYTOITEM:
    case OCM_CHARTOITEM:
    case OCM_HSCROLL:
    case OCM_VSCROLL:
    case OCM_CTLCOLORBTN:
    case OCM_CTLCOLORDLG:
    case OCM_CTLCOLOREDIT:
    case OCM_CTLCOLORLISTBOX:
    case OCM_CTLCOLORMSGBOX:
    case OCM_CTLCOLORSCROLLBAR:
    case OCM_CTLCOLORSTATIC:
      return true;
    default:
      return false;
  }
}

// Handles a reflected notification with the reflection offset removed; false for any other
// message.
inline bool DefaultReflectionHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     LRESULT& result) {
  if (!IsReflectedNotification(message)) return false;
  result = DefWindowProcW(window, message - OCM__BASE, wParam, lParam);
  return true;
}

}  // namespace activex
