// Identities of the layer's test server that its tests share (the rest come from the IDL).
#pragma once

#include <windows.h>

namespace layer_test {

// A class in the table whose creation always fails in FinalConstruct with kRefused; it has no
// registry script.
// {6C7BF668-04D3-4777-9C7F-65AFFFF825F5}
constexpr CLSID kRefuserClsid = {0x6C7BF668, 0x04D3, 0x4777, {0x9C, 0x7F, 0x65, 0xAF, 0xFF, 0xF8, 0x25, 0xF5}};
constexpr HRESULT kRefused = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0321);

constexpr wchar_t kAppId[] = L"{4FEC2D7C-E161-4D21-A540-86D305038D0C}";
constexpr wchar_t kOleMisc[] = L"131473";

// What the test control draws: its bounds filled with kPaper, and kMarker over their middle
// half (a quarter of the width and height in from each side).
constexpr COLORREF kPaper = RGB(0x20, 0x60, 0xC0);
constexpr COLORREF kMarker = RGB(0xF0, 0xA0, 0x10);
inline RECT MarkerRect(const RECT& bounds) {
  const LONG w = bounds.right - bounds.left, h = bounds.bottom - bounds.top;
  return {bounds.left + w / 4, bounds.top + h / 4, bounds.right - w / 4, bounds.bottom - h / 4};
}

}  // namespace layer_test
