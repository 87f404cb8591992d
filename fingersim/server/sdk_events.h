// The simulated SDK's outgoing events: the connection point for its event dispatch interface,
// and the arguments of each event built as a dispatch source builds them.
//
//   DISPID 1 to 4   one BSTR: the device identifier (null allowed)
//   DISPID 5        BSTR device, long width, long height, VARIANT* image, long resolution
//
// The arguments sit in DISPPARAMS::rgvarg in reverse order (the last one first), no named
// arguments. The image is VT_BYREF | VT_VARIANT pointing at a VARIANT the SDK owns, holding
// a one-dimensional VT_UI1 array (lower bound 0) of width x height grey pixels. The sink may
// clear that VARIANT (taking a copy first if it wants to keep the pixels); whatever it leaves
// in it is freed by the SDK when the event returns. Every sink gets an array of its own.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "com_ptr.h"

namespace fingersim {

// The VARIANT one sink receives with one image event. While it holds the array it was given,
// the array counts as a live object of the scanner (LiveKind::imageArray).
class EventImage {
 public:
  EventImage();
  EventImage(const EventImage&) = delete;
  EventImage& operator=(const EventImage&) = delete;
  // Frees whatever the VARIANT holds now and stops counting its array.
  ~EventImage();

  // Puts a new array with these bytes into the VARIANT.
  HRESULT Fill(const std::uint8_t* bytes, std::size_t count);

  VARIANT* get() { return &value_; }

  // Event images whose sink has cleared them (or put something else in) stop counting. Called
  // before the live objects are read, so that they are exact at any moment of an event.
  static void ForgetCleared();

 private:
  bool HoldsItsArray() const;

  VARIANT value_;
  SAFEARRAY* array_ = nullptr;  // the array put in; not owned (the VARIANT owns it)
  bool counted_ = false;
};

// The SDK object's connection point for its event interface. Advise takes the control
// channel's scripted "Advise" failure first. Sinks are called in the order they were advised
// (a freed slot is reused); a sink may advise or unadvise while an event is delivered.
class SdkEventPoint final : public IConnectionPoint {
 public:
  // `container` is the SDK object this point is a member of: it counts the point's references.
  explicit SdkEventPoint(IConnectionPointContainer* container);
  SdkEventPoint(const SdkEventPoint&) = delete;
  SdkEventPoint& operator=(const SdkEventPoint&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP GetConnectionInterface(IID* out) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** out) override;

  // Event 1 to 4 with a device identifier (null passes a null BSTR).
  void FireDeviceEvent(DISPID dispid, BSTR deviceId);
  // Event 5: each sink gets its own array of these bytes.
  void FireImageEvent(BSTR deviceId, LONG width, LONG height, const std::uint8_t* bytes, std::size_t count,
                      LONG resolution);

  std::size_t ConnectionCount() const;

 private:
  // Calls `invoke(sink)` for every connected sink; the slot count is read again after each call.
  template <class Invoke>
  void ForEachSink(Invoke invoke);

  IConnectionPointContainer* container_;
  std::vector<activex::ComPtr<IUnknown>> sinks_;  // event-interface pointers; empty = free slot
};

}  // namespace fingersim
