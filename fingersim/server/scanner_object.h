// "FingerSdkSim.Scanner": the control channel as a scriptable object. Every member acts on the
// process-wide channel (channel.h) and on every live SDK object of the process; any number of
// these objects may exist, they are all the same channel.
//
//   Results(operation, values)   the next calls of `operation` hand back these out-values, the
//                                last one repeating ("-3,0"; "1:404" for ExtractTemplateFromImage);
//                                "" removes the script
//   Fail(operation, code)        the next call of `operation` (or "Advise" on the event
//                                connection point) fails with `code`, once; a number, where one
//                                from 2^31 up to 2^32 stands for the negative code with the same
//                                bits (JScript's 0x80004005)
//   PictureWithoutIPicture(flag) while set, RawImageToPicture hands out pictures without IPicture
//   Touch(finger)                event 5 on every live SDK object, synchronously on this thread,
//                                with the next touch of that finger (400 x 400, 500 dpi)
//   TouchImage(w, h, bytes)      event 5 with these pixels: a byte array (also by reference, or a
//                                VARIANT array of numbers 0..255) or Base64 text
//   Event(dispid, text)          event 1 to 4 with that device identifier ("" passes null)
//   CallLog                      the calls the SDK objects received since the last Reset, one
//                                line each: "Name(arguments)"
//   LiveObjects                  SDK objects, pictures and event image arrays alive, see below
//   Reset()                      back to a working scanner: nothing scripted, no failures, the
//                                picture flag clear, the log empty, touch counts from 0
//
// LiveObjects counts three kinds of object, each from the moment the simulated SDK makes it:
//   - SDK objects, until their last reference is released;
//   - pictures handed out by RawImageToPicture, until their last reference is released;
//   - the array of an image event (one per sink and event), while the event's VARIANT still
//     holds it: until the sink clears that VARIANT, or else until the event returns and the
//     SDK frees it. Copies a sink makes are its own and not counted.
// Objects made before a Reset stay counted.
//
// Malformed arguments fail with E_INVALIDARG (an unknown operation, a malformed list of
// values, a code that is no failure, an event number outside 1..4, text that is no Base64) or
// DISP_E_TYPEMISMATCH (image bytes of another kind), with a description for scripts.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "dispatch.h"
#include "fingersdksim.h"
#include "object.h"
#include "support_error_info.h"

namespace fingersim {

class ScannerObject : public activex::ObjectRoot<ScannerObject>,
                      public activex::DispatchImpl<IFingerSdkScanner>,
                      public activex::SupportErrorInfoImpl<IFingerSdkScanner> {
 public:
  static const activex::InterfaceEntry* InterfaceMap();

  STDMETHODIMP Results(BSTR operation, BSTR values) override;
  STDMETHODIMP Fail(BSTR operation, VARIANT code) override;
  STDMETHODIMP PictureWithoutIPicture(VARIANT_BOOL flag) override;
  STDMETHODIMP Touch(LONG finger) override;
  STDMETHODIMP TouchImage(LONG width, LONG height, VARIANT bytes) override;
  STDMETHODIMP Event(LONG dispid, BSTR text) override;
  STDMETHODIMP get_CallLog(BSTR* log) override;
  STDMETHODIMP get_LiveObjects(LONG* count) override;
  STDMETHODIMP Reset() override;
};

}  // namespace fingersim
