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
#include "connection_point.h"

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

// Events of the SDK object through its connection point, delivered to the sinks in the order
// they were advised; a sink may advise or unadvise while an event is delivered.

// The control channel's scripted "Advise" failure, asked first by every Advise.
HRESULT TakeAdviseFailure();

// Event 1 to 4 with a device identifier (null passes a null BSTR).
void FireDeviceEvent(activex::ConnectionPoint& point, DISPID dispid, BSTR deviceId);
// Event 5: each sink gets its own array of these bytes.
void FireImageEvent(activex::ConnectionPoint& point, BSTR deviceId, LONG width, LONG height,
                    const std::uint8_t* bytes, std::size_t count, LONG resolution);

}  // namespace fingersim
