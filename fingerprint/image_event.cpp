// The SDK's image event. Until images are published, the control only takes the image out of
// the event: the array that came with it is freed and the SDK's VARIANT is left empty.
#include "my_control.h"

namespace fingerprint {

void CMyControl::OnImageEvent(BSTR, LONG, LONG, VARIANT* rawImage, LONG) {
  // The SDK is the caller: there is nobody to tell of a failure to clear.
  if (rawImage) VariantClear(rawImage);
}

}  // namespace fingerprint
