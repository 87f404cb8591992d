// IOleInPlaceActiveObject: the channel between a UI-active control and the container's frame.
// A control has no menus, toolbars or accelerators of its own, so the frame's notices need no
// work and no keystroke is translated.
#pragma once

#include <windows.h>
#include <ole2.h>

#include "control.h"

namespace activex {

template <class T>
class OleInPlaceActiveObjectImpl : public IOleInPlaceActiveObject {
 public:
  STDMETHODIMP GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = static_cast<Control<T>&>(static_cast<T&>(*this)).Hwnd();
    return *window ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(LPMSG message) override {
    if (!message) return E_POINTER;
    return S_FALSE;
  }
  STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
};

}  // namespace activex
