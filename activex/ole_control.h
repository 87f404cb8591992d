// IOleControl: the container's ambient-property changes and event freezing. A control without
// keyboard mnemonics gives no control info.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "control.h"

namespace activex {

template <class T>
class OleControlImpl : public IOleControl {
 public:
  STDMETHODIMP GetControlInfo(CONTROLINFO* info) override {
    if (!info) return E_POINTER;
    return E_NOTIMPL;
  }
  STDMETHODIMP OnMnemonic(MSG* message) override {
    if (!message) return E_POINTER;
    return E_NOTIMPL;
  }
  // Ambient values are read when they are needed, so a change needs no work here.
  STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
  // Calls nest: events flow again when every freeze has been undone.
  STDMETHODIMP FreezeEvents(BOOL freeze) override {
    Control<T>& c = static_cast<T&>(*this);
    if (freeze)
      ++c.freezeCount_;
    else if (c.freezeCount_ > 0)
      --c.freezeCount_;
    return S_OK;
  }
};

}  // namespace activex
