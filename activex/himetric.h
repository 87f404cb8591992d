// HIMETRIC (0.01 mm), the unit of OLE extents, and screen pixels.
#pragma once

#include <windows.h>

#include "dc_scope.h"

namespace activex {

constexpr int kHimetricPerInch = 2540;

// The size in pixels of the screen that a HIMETRIC size covers, rounded to the nearest pixel.
inline SIZE HimetricToPixels(const SIZEL& himetric) {
  WindowDC screen(nullptr);
  const int dpiX = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 96;
  const int dpiY = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
  return {MulDiv(himetric.cx, dpiX, kHimetricPerInch), MulDiv(himetric.cy, dpiY, kHimetricPerInch)};
}

}  // namespace activex
