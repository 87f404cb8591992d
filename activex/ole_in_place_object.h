// IOleInPlaceObject and IOleInPlaceObjectWindowless: deactivation and placement by the
// container, and the window messages a windowless container forwards to the control.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include "control.h"

namespace activex {

template <class T>
class OleInPlaceObjectWindowlessImpl : public IOleInPlaceObjectWindowless {
 public:
  // The control's window; E_FAIL while it has none (inactive, or windowless).
  STDMETHODIMP GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = State().Hwnd();
    return *window ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  STDMETHODIMP InPlaceDeactivate() override { return State().DeactivateInPlace(); }
  STDMETHODIMP UIDeactivate() override { return State().DeactivateUI(); }
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override {
    if (!position || !clip) return E_POINTER;
    return State().SetPosition(*position, *clip);
  }
  STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }

  // Runs the message through the control's message map: S_OK with its result when handled,
  // S_FALSE when the container should apply its default handling.
  STDMETHODIMP OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam,
                               LRESULT* result) override {
    if (!result) return E_POINTER;
    *result = 0;
    const bool handled =
        static_cast<T&>(*this).ProcessWindowMessage(nullptr, message, wParam, lParam, *result);
    return handled ? S_OK : S_FALSE;
  }
  STDMETHODIMP GetDropTarget(IDropTarget** target) override {
    if (!target) return E_POINTER;
    *target = nullptr;
    return E_NOTIMPL;
  }

 private:
  Control<T>& State() { return static_cast<T&>(*this); }
};

}  // namespace activex
