// A stand-in for the simulated fingerprint SDK inside the test process, for what the registered
// one cannot do: an SDK class that cannot be created, and image events carrying any VARIANT.
// While registered (CoRegisterClassObject, this process only), the control's CoCreateInstance
// reaches it instead of the registered SDK. Its objects keep to the simulated scanner's control channel
// (fingersim::ScannerChannel: scripted statuses, one-off failures, the call log) for the
// start-up, shut-down and capture operations and the event connection. It makes no pictures:
// RawImageToPicture is recorded and answers code 1 unless scripted.
//
// The tests steer it through the control channel's own interface, IFingerSdkScanner.
#pragma once

#include <windows.h>

#include "com_ptr.h"
#include "fingersdksim.h"

namespace stand_in_sdk {

// Serves the SDK class in this process until Revoke (or the end of the process).
// `creation`: what creating an SDK object answers; a failure stands for an SDK that is missing.
HRESULT Register(HRESULT creation = S_OK);
void Revoke();

// The control channel. Touch, TouchImage and PictureWithoutIPicture are E_NOTIMPL.
activex::ComPtr<IFingerSdkScanner> Scanner();

// Sends the image event (DISPID 5) from every live SDK object, `raw` passed by reference as
// the given VARIANT itself, whatever it holds.
void FireImage(VARIANT* raw, LONG width, LONG height, LONG extra);

}  // namespace stand_in_sdk
