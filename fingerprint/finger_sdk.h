// The outside fingerprint SDK control as this server uses it: its class, its dual interface
// (declared in fingersim/fingersdk.idl, slot for slot) and its event interface. The control is
// created by class identifier at run time; nothing of the SDK is linked.
#pragma once

#include <windows.h>

#include "fingersdk.h"

namespace fingerprint {

// {71944DD6-B5D2-4558-AD02-0435CB2B39DF}: the SDK control's class.
constexpr CLSID kSdkClass = {
    0x71944dd6, 0xb5d2, 0x4558, {0xad, 0x02, 0x04, 0x35, 0xcb, 0x2b, 0x39, 0xdf}};
// {A92FF0A8-F969-4AB9-99FB-9D7C03DF38C7}: its dual interface, called through the method table.
constexpr IID kSdkInterface = {
    0xa92ff0a8, 0xf969, 0x4ab9, {0x99, 0xfb, 0x9d, 0x7c, 0x03, 0xdf, 0x38, 0xc7}};
// {8D7EE181-74C0-498C-8715-DBCD75BCE01A}: the dispatch interface its events come through.
constexpr IID kSdkEvents = {
    0x8d7ee181, 0x74c0, 0x498c, {0x87, 0x15, 0xdb, 0xcd, 0x75, 0xbc, 0xe0, 0x1a}};

// The events the control listens to, by DISPID.
enum SdkEvent : DISPID {
  kSdkDeviceNamed = 1,    // begin capture on that device
  kSdkDeviceEnded = 2,    // end capture on that device
  kSdkFingerTouched = 3,  // not used
  kSdkFingerLifted = 4,   // not used
  kSdkImage = 5,          // an acquired image
};

}  // namespace fingerprint
