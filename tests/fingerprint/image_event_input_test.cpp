// What the image event accepts as a raw image: a one-dimensional byte array, by value or by
// reference. Anything else ends the event before the SDK is asked for a picture, and leaves the
// event's VARIANT and the control's texts as they were, as a refused conversion does.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "control_client.h"
#include "stand_in_sdk.h"
#include "variant.h"

namespace fingerprint_test {
namespace {

SAFEARRAY* Bytes(ULONG count) { return SafeArrayCreateVector(VT_UI1, 0, count); }

TEST(ImageEventInput, OnlyAOneDimensionalByteArrayIsAnImage) {
  ASSERT_EQ(stand_in_sdk::Register(), S_OK);
  Scanner scanner(stand_in_sdk::Scanner());
  scanner.Reset();
  ComPtr<IMyControl> control;
  ASSERT_EQ(CreateControl(control), S_OK);

  SAFEARRAY* referenced = Bytes(12);  // the array a by-reference VARIANT points to
  SAFEARRAY* noArray = nullptr;
  struct Case {
    const char* name;
    std::function<void(VARIANT&)> make;
    bool taken;
  } cases[] = {
      {"bytes by value", [](VARIANT& v) { v.vt = VT_ARRAY | VT_UI1; v.parray = Bytes(12); }, true},
      {"bytes by reference",
       [&](VARIANT& v) { v.vt = VT_BYREF | VT_ARRAY | VT_UI1; v.pparray = &referenced; }, true},
      {"nothing", [](VARIANT& v) { v.vt = VT_EMPTY; }, false},
      {"a text", [](VARIANT& v) { v.vt = VT_BSTR; v.bstrVal = SysAllocString(L"pixels"); }, false},
      {"numbers", [](VARIANT& v) { v.vt = VT_ARRAY | VT_I4; v.parray = SafeArrayCreateVector(VT_I4, 0, 3); },
       false},
      {"bytes in two dimensions",
       [](VARIANT& v) {
         SAFEARRAYBOUND bounds[2] = {{4, 0}, {3, 0}};
         v.vt = VT_ARRAY | VT_UI1;
         v.parray = SafeArrayCreate(VT_UI1, 2, bounds);
       },
       false},
      {"a byte array type without an array", [](VARIANT& v) { v.vt = VT_ARRAY | VT_UI1; v.parray = nullptr; },
       false},
      {"a reference to no array",
       [&](VARIANT& v) { v.vt = VT_BYREF | VT_ARRAY | VT_UI1; v.pparray = &noArray; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    scanner.Reset();
    activex::Variant raw;
    c.make(raw.get());
    const VARTYPE before = raw.get().vt;
    stand_in_sdk::FireImage(raw.ptr(), 4, 3, 500);
    EXPECT_EQ(scanner.Log(), c.taken ? L"RawImageToPicture(12,4,3,0)" : L"");
    EXPECT_EQ(raw.get().vt, before) << "the event's VARIANT is left as it came";
    Bstr image;
    EXPECT_EQ(control->get_ImageCode(image.put()), S_OK);
    EXPECT_FALSE(image);
  }
  EXPECT_EQ(control->Destroy(), S_OK);
  stand_in_sdk::Revoke();
  SafeArrayDestroy(referenced);
}

}  // namespace
}  // namespace fingerprint_test
