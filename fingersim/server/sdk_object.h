// The simulated fingerprint SDK object: the SDK's class with its dual interface (every method
// in its slot, the fillers answering E_NOTIMPL), its event connection point and class
// information. It behaves like a working scanner unless the control channel (channel.h) says
// otherwise; every named method is recorded in the channel's call log and takes the channel's
// scripted failure or out-value first.
//
// Device naming: when StartupStage2 reports a status >= 0 after a StartupStage1 that did
// (with no shutdown step in between), the object names its device with event 1. The event is
// posted to a message-only window on the object's thread and fired when that thread next
// dispatches messages, so a host that pumps messages (a form, a page) sees it after its
// start-up, while one that does not (a test, a console script) gets no event it did not ask
// for and names devices itself through the channel.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "control_window.h"
#include "dispatch.h"
#include "enrollment.h"
#include "fingersdk.h"
#include "live_registry.h"
#include "object.h"
#include "provide_class_info.h"
#include "sdk_events.h"

namespace fingersim {

class FingerSdkObject : public activex::ObjectRoot<FingerSdkObject>,
                        public activex::DispatchImpl<IFingerSdk>,
                        public activex::ConnectionPointContainer,
                        public activex::ProvideClassInfo2Impl<&CLSID_FingerSdk, &DIID__IFingerSdkEvents> {
 public:
  static const activex::InterfaceEntry* InterfaceMap();

  // Every SDK object alive in the process, oldest first.
  static LiveRegistry<FingerSdkObject>& Live();

  FingerSdkObject();
  ~FingerSdkObject();
  HRESULT FinalConstruct();
  void FinalRelease();

  // A new reference unless the object is already on its way out (for LiveRegistry::Retained).
  bool Retain();

  // Fires event 1 to 4 on this object's sinks.
  void FireDeviceEvent(DISPID dispid, BSTR deviceId);
  // Fires event 5 with these pixels (width x height expected, not required).
  void FireImageEvent(LONG width, LONG height, const std::uint8_t* bytes, std::size_t count, LONG resolution);

  // IFingerSdk
  STDMETHODIMP StartupStage1(LONG* status) override;
  STDMETHODIMP ShutdownStage1(LONG* status) override;
  STDMETHODIMP Reserved09() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved10() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved11() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved12() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved13() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved14() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved15() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved16() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved17() override { return E_NOTIMPL; }
  STDMETHODIMP StartupStage2(LONG* status) override;
  STDMETHODIMP ShutdownStage2(LONG* status) override;
  STDMETHODIMP BeginCaptureOn(BSTR deviceId, LONG* result) override;
  STDMETHODIMP EndCaptureOn(BSTR deviceId, LONG* result) override;
  STDMETHODIMP Reserved22() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved23() override { return E_NOTIMPL; }
  STDMETHODIMP RawImageToPicture(VARIANT* rawImage, LONG width, LONG height, LONG flags, IDispatch** picture,
                                 LONG* code) override;
  STDMETHODIMP ExtractTemplateFromImage(VARIANT* rawImage, LONG width, LONG height, LONG resolution,
                                        SAFEARRAY** templateBytes, LONG* size, LONG flags, LONG* result) override;
  STDMETHODIMP Reserved26() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved27() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved28() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved29() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved30() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved31() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved32() override { return E_NOTIMPL; }
  STDMETHODIMP BeginEnrollment(LONG flags, LONG* status) override;
  STDMETHODIMP EnrollFromImage(VARIANT* rawImage, LONG width, LONG height, LONG resolution, SAFEARRAY** templateBytes,
                               LONG* size, LONG* mode, LONG flags1, LONG flags2, LONG* status) override;


 private:
  static bool OnWindowMessage(void* owner, HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result);
  void NameDevice();

  activex::ConnectionPoint events_{this, DIID__IFingerSdkEvents, &TakeAdviseFailure};
  activex::ControlWindow notices_;  // message-only window for the device notice
  Enrollment enrollment_;
  bool firstStageUp_ = false;  // StartupStage1 reported >= 0 and no shutdown step since
  bool registered_ = false;    // in Live()
  std::atomic<bool> releasing_{false};
};

}  // namespace fingersim
