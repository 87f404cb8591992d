// The simulated SDK object as the fingerprint control uses it: its method table slot by slot,
// device naming after start-up, events 1 to 5 with their DISPPARAMS, templates and enrollment,
// and the control channel's scripting, call log and live-object counts.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "event_sink.h"
#include "impression.h"
#include "sdk_client.h"

namespace simtest {
namespace {

constexpr HRESULT kFail = static_cast<HRESULT>(0x80004005);
constexpr HRESULT kAccessDenied = static_cast<HRESULT>(0x80070005);
const wchar_t kDevice[] = L"SIM-SCANNER-01";

// The method table as the control sees it: a slot number and the argument list it expects.
void** Table(IFingerSdk* sdk) { return *reinterpret_cast<void***>(sdk); }
template <class Fn>
Fn Slot(IFingerSdk* sdk, int slot) {
  return reinterpret_cast<Fn>(Table(sdk)[slot]);
}
using NoArgs = HRESULT(STDMETHODCALLTYPE*)(IFingerSdk*);
using StatusOut = HRESULT(STDMETHODCALLTYPE*)(IFingerSdk*, LONG*);
using TextStatus = HRESULT(STDMETHODCALLTYPE*)(IFingerSdk*, BSTR, LONG*);
using NumberStatus = HRESULT(STDMETHODCALLTYPE*)(IFingerSdk*, LONG, LONG*);
using Enroll = HRESULT(STDMETHODCALLTYPE*)(IFingerSdk*, VARIANT*, LONG, LONG, LONG, SAFEARRAY**, LONG*, LONG*, LONG,
                                           LONG, LONG*);
using Extract = HRESULT(STDMETHODCALLTYPE*)(IFingerSdk*, VARIANT*, LONG, LONG, LONG, SAFEARRAY**, LONG*, LONG, LONG*);
using ToPicture = HRESULT(STDMETHODCALLTYPE*)(IFingerSdk*, VARIANT*, LONG, LONG, LONG, IDispatch**, LONG*);

std::vector<std::uint8_t> Finger(std::int64_t finger, std::int64_t touch) {
  return fingersim::SynthesizeFinger(finger, touch).pixels;
}

TEST_F(SdkTest, EverySlotOfTheTableAnswersAsTheControlExpects) {
  ComPtr<IFingerSdk> sdk = NewSdk();
  ASSERT_TRUE(sdk);
  // The fillers between the named methods.
  for (int slot : {9, 10, 11, 12, 13, 14, 15, 16, 17, 22, 23, 26, 27, 28, 29, 30, 31, 32}) {
    EXPECT_EQ(Slot<NoArgs>(sdk.get(), slot)(sdk.get()), E_NOTIMPL) << "slot " << slot;
  }
  EXPECT_EQ(CallLog(), "") << "fillers are no calls of the scanner";

  // The named methods, each through its slot.
  LONG status = -99;
  for (int slot : {7, 8, 18, 19}) {
    status = -99;
    EXPECT_EQ(Slot<StatusOut>(sdk.get(), slot)(sdk.get(), &status), S_OK) << "slot " << slot;
    EXPECT_EQ(status, 0) << "slot " << slot;
  }
  Bstr device(L"DEV-1");
  EXPECT_EQ(Slot<TextStatus>(sdk.get(), 20)(sdk.get(), nullptr, &status), S_OK);
  EXPECT_EQ(Slot<TextStatus>(sdk.get(), 21)(sdk.get(), device.get(), &status), S_OK);
  EXPECT_EQ(Slot<NumberStatus>(sdk.get(), 33)(sdk.get(), 0, &status), S_OK);
  EXPECT_EQ(status, 0);

  Variant raw;
  MakeRawImage(Finger(1, 0), raw);
  IDispatch* picture = nullptr;
  LONG code = -99;
  EXPECT_EQ(Slot<ToPicture>(sdk.get(), 24)(sdk.get(), raw.ptr(), 400, 400, 0, &picture, &code), S_OK);
  EXPECT_EQ(code, 0);
  ASSERT_NE(picture, nullptr);
  picture->Release();

  activex::ByteSafeArray buffer = ZeroArray(10000);
  SAFEARRAY* bytes = buffer.get();
  LONG size = 10000, result = -99;
  EXPECT_EQ(Slot<Extract>(sdk.get(), 25)(sdk.get(), raw.ptr(), 400, 400, 500, &bytes, &size, 0, &result), S_OK);
  EXPECT_GT(result, 0);
  size = 10000;
  LONG mode = 8;
  EXPECT_EQ(Slot<Enroll>(sdk.get(), 34)(sdk.get(), raw.ptr(), 400, 400, 500, &bytes, &size, &mode, 0, 0, &status), S_OK);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(mode, 8);

  EXPECT_EQ(CallLog(),
            "StartupStage1()\n"
            "ShutdownStage1()\n"
            "StartupStage2()\n"
            "ShutdownStage2()\n"
            "BeginCaptureOn(null)\n"
            "EndCaptureOn(DEV-1)\n"
            "BeginEnrollment(0)\n"
            "RawImageToPicture(160000,400,400,0)\n"
            "ExtractTemplateFromImage(160000,400,400,500,10000,10000,0)\n"
            "EnrollFromImage(160000,400,400,500,10000,10000,8,0,0)");
}

TEST_F(SdkTest, StartedScannerNamesItsDeviceOnceMessagesArePumped) {
  struct Case {
    const char* what;
    const wchar_t* stage1;  // scripted statuses ("" for the working scanner's)
    const wchar_t* stage2;
    std::vector<int> steps;  // slots called in order
    bool named;
  };
  const std::vector<Case> cases = {
      {"plain start-up", L"", L"", {7, 18}, true},
      {"the control's retry", L"-3,0", L"", {7, 19, 8, 7, 18}, true},
      {"first step fails", L"-1", L"", {7, 18}, false},
      {"second step fails", L"", L"-2", {7, 18}, false},
      {"shut down between the steps", L"", L"", {7, 8, 18}, false},
      {"second step alone", L"", L"", {18}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(scanner->Reset(), S_OK);
    ASSERT_EQ(Results(L"StartupStage1", c.stage1), S_OK);
    ASSERT_EQ(Results(L"StartupStage2", c.stage2), S_OK);
    RecordingSink sink;
    {
      ComPtr<IFingerSdk> sdk = NewSdk();
      DWORD cookie = 0;
      ASSERT_EQ(Advise(sdk.get(), &sink, &cookie), S_OK);
      LONG status = 0;
      for (int slot : c.steps) ASSERT_EQ(Slot<StatusOut>(sdk.get(), slot)(sdk.get(), &status), S_OK);
      EXPECT_TRUE(sink.events.empty()) << "nothing before the host dispatches messages";
      PumpMessages();
      if (c.named) {
        ASSERT_EQ(sink.events.size(), 1u);
        const ReceivedEvent& e = sink.events[0];
        EXPECT_EQ(e.dispid, 1);
        EXPECT_EQ(e.argCount, 1u);
        EXPECT_EQ(e.namedCount, 0u);
        EXPECT_EQ(e.types, std::vector<VARTYPE>{VT_BSTR});
        EXPECT_EQ(e.text, kDevice);
      } else {
        EXPECT_TRUE(sink.events.empty());
      }
      PumpMessages();
      EXPECT_EQ(sink.events.size(), c.named ? 1u : 0u) << "named once";
    }
  }
  // An object released before the host pumps names nothing (its window went with it).
  RecordingSink late;
  {
    ComPtr<IFingerSdk> sdk = NewSdk();
    DWORD cookie = 0;
    ASSERT_EQ(Advise(sdk.get(), &late, &cookie), S_OK);
    LONG status = 0;
    sdk->StartupStage1(&status);
    sdk->StartupStage2(&status);
  }
  PumpMessages();
  EXPECT_TRUE(late.events.empty());
}

TEST_F(SdkTest, ChannelEventsReachEverySinkOfEveryLiveObject) {
  RecordingSink first, second, other;
  ComPtr<IFingerSdk> sdk = NewSdk();
  ComPtr<IFingerSdk> sdk2 = NewSdk();
  DWORD cookie1 = 0, cookie2 = 0, cookie3 = 0;
  ASSERT_EQ(Advise(sdk.get(), &first, &cookie1), S_OK);
  ASSERT_EQ(Advise(sdk.get(), &second, &cookie2), S_OK);
  ASSERT_EQ(Advise(sdk2.get(), &other, &cookie3), S_OK);

  struct Case {
    LONG dispid;
    const wchar_t* text;
  };
  for (const Case& c : {Case{1, L"DEV-7"}, Case{2, L""}, Case{3, L"DEV-7"}, Case{4, L"x"}}) {
    Bstr text(c.text);
    ASSERT_EQ(scanner->Event(c.dispid, text.get()), S_OK);
  }
  for (RecordingSink* sink : {&first, &second, &other}) {
    ASSERT_EQ(sink->events.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
      const ReceivedEvent& e = sink->events[i];
      EXPECT_EQ(e.dispid, static_cast<DISPID>(i + 1));
      EXPECT_EQ(e.types, std::vector<VARTYPE>{VT_BSTR});
    }
    EXPECT_EQ(sink->events[0].text, L"DEV-7");
    EXPECT_TRUE(sink->events[1].nullText) << "an empty text passes a null BSTR";
    EXPECT_FALSE(sink->events[0].nullText);
  }

  Bstr text(L"x");
  EXPECT_EQ(scanner->Event(5, text.get()), E_INVALIDARG);
  EXPECT_EQ(scanner->Event(0, text.get()), E_INVALIDARG);
  EXPECT_EQ(first.events.size(), 4u);

  ASSERT_EQ(Unadvise(sdk.get(), cookie1), S_OK);
  ASSERT_EQ(scanner->Event(1, text.get()), S_OK);
  EXPECT_EQ(first.events.size(), 4u) << "unadvised";
  EXPECT_EQ(second.events.size(), 5u);
  EXPECT_EQ(Unadvise(sdk.get(), cookie1), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(CallLog(), "") << "events are no calls of the SDK";
}

// Mean normalised autocorrelation of the pixels at a horizontal or vertical lag, over the
// central half of the image.
double Autocorrelation(const std::vector<std::uint8_t>& px, int w, int h, int dx, int dy) {
  double sum = 0, sum2 = 0;
  int n = 0;
  for (int y = h / 4; y < 3 * h / 4; ++y)
    for (int x = w / 4; x < 3 * w / 4; ++x) {
      sum += px[y * w + x];
      sum2 += double(px[y * w + x]) * px[y * w + x];
      ++n;
    }
  const double mean = sum / n, variance = sum2 / n - mean * mean;
  if (variance <= 0) return 0;
  double c = 0;
  int m = 0;
  for (int y = h / 4; y < 3 * h / 4; ++y)
    for (int x = w / 4; x < 3 * w / 4; ++x) {
      c += (px[y * w + x] - mean) * (px[(y + dy) * w + x + dx] - mean);
      ++m;
    }
  return c / m / variance;
}

TEST_F(SdkTest, TouchDeliversAFingerImageAsADispatchSourceWould) {
  RecordingSink sink;
  ComPtr<IFingerSdk> sdk = NewSdk();
  DWORD cookie = 0;
  ASSERT_EQ(Advise(sdk.get(), &sink, &cookie), S_OK);
  ASSERT_EQ(scanner->Touch(3), S_OK);
  ASSERT_EQ(scanner->Touch(3), S_OK);
  ASSERT_EQ(scanner->Touch(8), S_OK);
  ASSERT_EQ(sink.events.size(), 3u);

  for (const ReceivedEvent& e : sink.events) {
    EXPECT_EQ(e.dispid, 5);
    EXPECT_EQ(e.argCount, 5u);
    EXPECT_EQ(e.namedCount, 0u);
    // Reversed: resolution, image, height, width, device.
    EXPECT_EQ(e.types, (std::vector<VARTYPE>{VT_I4, VT_BYREF | VT_VARIANT, VT_I4, VT_I4, VT_BSTR}));
    EXPECT_EQ(e.text, kDevice);
    EXPECT_EQ(e.width, 400);
    EXPECT_EQ(e.height, 400);
    EXPECT_EQ(e.resolution, 500);
    EXPECT_EQ(e.imageType, VT_ARRAY | VT_UI1);
    EXPECT_EQ(e.imageDims, 1u);
    EXPECT_EQ(e.imageLowerBound, 0);
    ASSERT_EQ(e.pixels.size(), 400u * 400u);

    // A print, not noise: neighbouring pixels alike, ridges alternating with valleys a few
    // pixels apart along both axes.
    const double neighbour = (Autocorrelation(e.pixels, 400, 400, 1, 0) + Autocorrelation(e.pixels, 400, 400, 0, 1)) / 2;
    double trough = 1;
    for (int lag = 2; lag <= 12; ++lag) {
      trough = std::min(trough, (Autocorrelation(e.pixels, 400, 400, lag, 0) +
                                 Autocorrelation(e.pixels, 400, 400, 0, lag)) / 2);
    }
    EXPECT_GT(neighbour, 0.5);
    EXPECT_LT(trough, -0.2);
  }
  EXPECT_NE(sink.events[0].pixels, sink.events[1].pixels) << "each touch differs";
  EXPECT_EQ(sink.events[0].pixels, fingersim::SynthesizeFinger(3, 0).pixels) << "touches counted from 0 after Reset";
  EXPECT_EQ(sink.events[1].pixels, fingersim::SynthesizeFinger(3, 1).pixels);

  // The sink left the arrays in the event's VARIANT: the SDK freed them.
  EXPECT_EQ(LiveObjects(), 1);
  EXPECT_EQ(CallLog(), "");
}

TEST_F(SdkTest, EventArrayCountsUntilTheSinkClearsItOrTheEventReturns) {
  RecordingSink clearing, keeping;
  ComPtr<IFingerSdk> sdk = NewSdk();
  DWORD cookie = 0;
  std::vector<LONG> seen;
  clearing.during = [&](DISPPARAMS& params) {
    seen.push_back(LiveObjects());
    VariantClear(params.rgvarg[1].pvarVal);  // what the control does after copying the image
    seen.push_back(LiveObjects());
  };
  keeping.during = [&](DISPPARAMS&) { seen.push_back(LiveObjects()); };
  ASSERT_EQ(Advise(sdk.get(), &clearing, &cookie), S_OK);
  ASSERT_EQ(Advise(sdk.get(), &keeping, &cookie), S_OK);

  ASSERT_EQ(scanner->Touch(1), S_OK);
  // SDK object + the first sink's array; cleared; SDK object + the second sink's own array.
  EXPECT_EQ(seen, (std::vector<LONG>{2, 1, 2}));
  ASSERT_EQ(clearing.events.size(), 1u);
  ASSERT_EQ(keeping.events.size(), 1u);
  EXPECT_EQ(keeping.events[0].pixels, clearing.events[0].pixels) << "the second sink gets the whole image too";
  EXPECT_EQ(LiveObjects(), 1);
}

// A receiver built as the fingerprint control receives the SDK's events: the layer's sink with
// a table of handlers; the image handler keeps a copy and clears the event's image.
class ImageReceiver {
 public:
  void OnDevice(BSTR id) { devices.push_back(id ? id : L"(null)"); }
  void OnImage(BSTR, long width, long height, VARIANT* image, long resolution) {
    sizes.push_back({width, height, resolution});
    EXPECT_EQ(kept.CopyFrom(*image), S_OK);
    VariantClear(image);
  }
  std::vector<std::wstring> devices;
  std::vector<std::vector<long>> sizes;
  Variant kept;
  static const activex::SinkEntry<ImageReceiver> kSinkMap[];
  activex::EventSink<ImageReceiver> sink{this, DIID__IFingerSdkEvents, kSinkMap};
};
const activex::SinkEntry<ImageReceiver> ImageReceiver::kSinkMap[] = {
    activex::SinkHandler<&ImageReceiver::OnDevice, VT_BSTR>(1),
    activex::SinkHandler<&ImageReceiver::OnImage, VT_BSTR, VT_I4, VT_I4, VT_BYREF | VT_VARIANT, VT_I4>(5),
    {}};

TEST_F(SdkTest, TheLayersEventSinkReceivesTheScannersEvents) {
  ComPtr<IFingerSdk> sdk = NewSdk();
  ImageReceiver receiver;
  ASSERT_EQ(Fail(L"Advise", kFail), S_OK);
  EXPECT_EQ(receiver.sink.Advise(sdk.get()), kFail);
  EXPECT_EQ(receiver.sink.cookie(), receiver.sink.kNotConnected);
  ASSERT_EQ(receiver.sink.Advise(sdk.get()), S_OK);

  LONG status = 0;
  ASSERT_EQ(sdk->StartupStage1(&status), S_OK);
  ASSERT_EQ(sdk->StartupStage2(&status), S_OK);
  PumpMessages();
  Bstr device(L"DEV-2");
  ASSERT_EQ(scanner->Event(1, device.get()), S_OK);
  EXPECT_EQ(receiver.devices, (std::vector<std::wstring>{kDevice, L"DEV-2"}));

  ASSERT_EQ(scanner->Touch(4), S_OK);
  ASSERT_EQ(receiver.sizes, (std::vector<std::vector<long>>{{400, 400, 500}}));
  ASSERT_EQ(receiver.kept.get().vt, VT_ARRAY | VT_UI1);
  activex::SafeArrayData pixels(receiver.kept.get().parray);
  ASSERT_EQ(receiver.kept.get().parray->rgsabound[0].cElements, 160000u);
  EXPECT_EQ(std::vector<std::uint8_t>(pixels.bytes(), pixels.bytes() + 160000), fingersim::SynthesizeFinger(4, 0).pixels);
  EXPECT_EQ(LiveObjects(), 1) << "the receiver's copy is its own";

  EXPECT_EQ(receiver.sink.Unadvise(sdk.get()), S_OK);
}

TEST_F(SdkTest, TouchImageTakesBytesOrBase64) {
  RecordingSink sink;
  ComPtr<IFingerSdk> sdk = NewSdk();
  DWORD cookie = 0;
  ASSERT_EQ(Advise(sdk.get(), &sink, &cookie), S_OK);
  const std::vector<std::uint8_t> six = {0, 1, 2, 253, 254, 255};

  Variant array;
  MakeRawImage(six, array);
  Variant byReference;
  byReference.get().vt = VT_BYREF | VT_ARRAY | VT_UI1;
  byReference.get().pparray = &array.get().parray;
  Variant base64;
  base64.get().vt = VT_BSTR;
  base64.get().bstrVal = SysAllocString(L"AAEC/f7/");
  Variant numbers;  // as VBScript builds an array
  numbers.get().vt = VT_ARRAY | VT_VARIANT;
  numbers.get().parray = SafeArrayCreateVector(VT_VARIANT, 0, 6);
  {
    activex::SafeArrayData data(numbers.get().parray);
    auto* items = reinterpret_cast<VARIANT*>(data.bytes());
    for (int i = 0; i < 6; ++i) {
      items[i].vt = VT_I2;
      items[i].iVal = six[i];
    }
  }
  for (VARIANT* v : {array.ptr(), byReference.ptr(), base64.ptr(), numbers.ptr()}) {
    sink.events.clear();
    ASSERT_EQ(scanner->TouchImage(3, 2, *v), S_OK) << "vt " << v->vt;
    ASSERT_EQ(sink.events.size(), 1u);
    EXPECT_EQ(sink.events[0].pixels, six);
    EXPECT_EQ(sink.events[0].width, 3);
    EXPECT_EQ(sink.events[0].height, 2);
  }

  sink.events.clear();
  Variant notBase64, number, tooBig;
  notBase64.get().vt = VT_BSTR;
  notBase64.get().bstrVal = SysAllocString(L"AA*C");
  number.get().vt = VT_I4;
  tooBig.get().vt = VT_ARRAY | VT_VARIANT;
  tooBig.get().parray = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  {
    activex::SafeArrayData data(tooBig.get().parray);
    auto* item = reinterpret_cast<VARIANT*>(data.bytes());
    item->vt = VT_I4;
    item->lVal = 256;
  }
  EXPECT_EQ(scanner->TouchImage(1, 1, notBase64.get()), E_INVALIDARG);
  EXPECT_EQ(scanner->TouchImage(1, 1, tooBig.get()), E_INVALIDARG);
  EXPECT_EQ(scanner->TouchImage(1, 1, number.get()), DISP_E_TYPEMISMATCH);
  EXPECT_TRUE(sink.events.empty());
}

TEST_F(SdkTest, TemplatesAndEnrollmentFollowTheScannerModel) {
  ComPtr<IFingerSdk> sdk = NewSdk();
  Variant raw;
  MakeRawImage(Finger(5, 0), raw);

  // A template of a few hundred bytes at the start of the caller's buffer, the same every time.
  std::vector<std::uint8_t> templates[2];
  LONG templateSize = 0;
  for (auto& t : templates) {
    activex::ByteSafeArray buffer = ZeroArray(10000);
    SAFEARRAY* bytes = buffer.get();
    LONG size = 10000, result = 0;
    ASSERT_EQ(sdk->ExtractTemplateFromImage(raw.ptr(), 400, 400, 500, &bytes, &size, 0, &result), S_OK);
    EXPECT_EQ(bytes, buffer.get()) << "written into the caller's array";
    EXPECT_EQ(result, 1);
    EXPECT_GE(size, 100);
    EXPECT_LE(size, 500);
    templateSize = size;
    activex::SafeArrayData data(bytes);
    t.assign(data.bytes(), data.bytes() + 10000);
    EXPECT_EQ(std::string(t.begin(), t.begin() + 4), "FST1");
    for (std::size_t i = static_cast<std::size_t>(size); i < t.size(); ++i) ASSERT_EQ(t[i], 0) << "byte " << i;
  }
  EXPECT_EQ(templates[0], templates[1]);

  // Enrollment: four good samples, then complete; a blank image is refused; BeginEnrollment
  // starts again.
  auto enroll = [&](VARIANT* image) {
    activex::ByteSafeArray buffer = ZeroArray(10000);
    SAFEARRAY* bytes = buffer.get();
    LONG size = 10000, mode = 8, status = -99;
    EXPECT_EQ(sdk->EnrollFromImage(image, 400, 400, 500, &bytes, &size, &mode, 0, 0, &status), S_OK);
    return status;
  };
  Variant blank;
  MakeRawImage(std::vector<std::uint8_t>(160000, 255), blank);
  std::vector<LONG> statuses;
  LONG status = -99;
  ASSERT_EQ(sdk->BeginEnrollment(0, &status), S_OK);
  EXPECT_EQ(status, 0);
  for (int touch = 0; touch < 5; ++touch) {
    Variant image;
    MakeRawImage(Finger(5, touch), image);
    statuses.push_back(enroll(image.ptr()));
  }
  statuses.push_back(enroll(blank.ptr()));
  ASSERT_EQ(sdk->BeginEnrollment(0, &status), S_OK);
  statuses.push_back(enroll(raw.ptr()));
  EXPECT_EQ(statuses, (std::vector<LONG>{1, 2, 3, 4, 4, 0, 1}));

  // Every object keeps its own enrollment.
  ComPtr<IFingerSdk> another = NewSdk();
  activex::ByteSafeArray buffer = ZeroArray(10000);
  SAFEARRAY* bytes = buffer.get();
  LONG size = 10000, mode = 8;
  ASSERT_EQ(another->EnrollFromImage(raw.ptr(), 400, 400, 500, &bytes, &size, &mode, 0, 0, &status), S_OK);
  EXPECT_EQ(status, 1);

  // Wrong arrays are refused; no array at all gets nothing written.
  Variant text;
  text.get().vt = VT_BSTR;
  text.get().bstrVal = SysAllocString(L"x");
  SAFEARRAY* strings = SafeArrayCreateVector(VT_BSTR, 0, 4);
  LONG result = 0;
  EXPECT_EQ(sdk->ExtractTemplateFromImage(raw.ptr(), 400, 400, 500, &strings, &size, 0, &result), E_INVALIDARG);
  SafeArrayDestroy(strings);
  SAFEARRAY* none = nullptr;
  size = 10000;
  EXPECT_EQ(sdk->ExtractTemplateFromImage(raw.ptr(), 400, 400, 500, &none, &size, 0, &result), S_OK);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(size, templateSize);
  size = 10000;
  EXPECT_EQ(sdk->ExtractTemplateFromImage(text.ptr(), 400, 400, 500, &bytes, &size, 0, &result), S_OK);
  EXPECT_EQ(result, -1) << "no image in the VARIANT";
}

TEST_F(SdkTest, ChannelScriptsOutValuesAndOneShotFailures) {
  ComPtr<IFingerSdk> sdk = NewSdk();
  LONG status = 0;
  auto statuses = [&](int calls) {
    std::vector<LONG> got;
    for (int i = 0; i < calls; ++i) {
      status = -99;
      EXPECT_EQ(sdk->StartupStage1(&status), S_OK);
      got.push_back(status);
    }
    return got;
  };
  ASSERT_EQ(Results(L"StartupStage1", L"-3,0"), S_OK);
  EXPECT_EQ(statuses(3), (std::vector<LONG>{-3, 0, 0})) << "the last value repeats";
  ASSERT_EQ(Results(L"StartupStage1", L""), S_OK);
  ASSERT_EQ(Results(L"StartupStage1", L"7"), S_OK);
  EXPECT_EQ(statuses(1), std::vector<LONG>{7});
  ASSERT_EQ(Results(L"StartupStage1", L""), S_OK);
  EXPECT_EQ(statuses(1), std::vector<LONG>{0}) << "script removed";

  // Extraction "result:size".
  Variant raw;
  MakeRawImage(Finger(2, 0), raw);
  ASSERT_EQ(Results(L"ExtractTemplateFromImage", L"1:404,0"), S_OK);
  for (auto [result, size] : {std::pair<LONG, LONG>{1, 404}, {0, 10000}}) {
    activex::ByteSafeArray buffer = ZeroArray(10000);
    SAFEARRAY* bytes = buffer.get();
    LONG gotSize = 10000, gotResult = -99;
    ASSERT_EQ(sdk->ExtractTemplateFromImage(raw.ptr(), 400, 400, 500, &bytes, &gotSize, 0, &gotResult), S_OK);
    EXPECT_EQ(gotResult, result);
    EXPECT_EQ(gotSize, size);
  }

  // Failures: once each, in order, logged, the script untouched.
  ASSERT_EQ(Results(L"BeginEnrollment", L"5"), S_OK);
  ASSERT_EQ(Fail(L"BeginEnrollment", kFail), S_OK);
  ASSERT_EQ(Fail(L"BeginEnrollment", kAccessDenied), S_OK);
  EXPECT_EQ(sdk->BeginEnrollment(0, &status), kFail);
  EXPECT_EQ(sdk->BeginEnrollment(0, &status), kAccessDenied);
  EXPECT_EQ(sdk->BeginEnrollment(0, &status), S_OK);
  EXPECT_EQ(status, 5);

  // Script numbers as JScript writes 0x80004005, and as other integer types hold it.
  Bstr op(L"EndCaptureOn");
  VARIANT asDouble, asUnsigned, asText, notFailure;
  asDouble.vt = VT_R8;
  asDouble.dblVal = 2147500037.0;
  asUnsigned.vt = VT_UI4;
  asUnsigned.ulVal = 0x80070005u;
  asText.vt = VT_BSTR;
  asText.bstrVal = op.get();
  notFailure.vt = VT_I4;
  notFailure.lVal = 1;
  ASSERT_EQ(scanner->Fail(op.get(), asDouble), S_OK);
  ASSERT_EQ(scanner->Fail(op.get(), asUnsigned), S_OK);
  EXPECT_EQ(scanner->Fail(op.get(), asText), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(scanner->Fail(op.get(), notFailure), E_INVALIDARG);
  EXPECT_EQ(sdk->EndCaptureOn(nullptr, &status), kFail);
  EXPECT_EQ(sdk->EndCaptureOn(nullptr, &status), kAccessDenied);
  EXPECT_EQ(sdk->EndCaptureOn(nullptr, &status), S_OK);

  // Advise fails once, and is no call in the log.
  RecordingSink sink;
  DWORD cookie = 0;
  ASSERT_EQ(Fail(L"Advise", kFail), S_OK);
  EXPECT_EQ(Advise(sdk.get(), &sink, &cookie), kFail);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(Advise(sdk.get(), &sink, &cookie), S_OK);
  EXPECT_NE(cookie, 0u);

  // Refused settings change nothing.
  EXPECT_EQ(Fail(L"Nothing", kFail), E_INVALIDARG);
  EXPECT_EQ(Fail(L"startupstage1", kFail), E_INVALIDARG) << "names are exact";
  EXPECT_EQ(Results(L"StartupStage2", L"1,x"), E_INVALIDARG);
  EXPECT_EQ(Results(L"Advise", L"0"), E_INVALIDARG);
  EXPECT_EQ(Results(L"StartupStage1", L"1:2"), E_INVALIDARG);

  const std::string log = CallLog();
  EXPECT_EQ(log.substr(log.find("BeginEnrollment")),
            "BeginEnrollment(0)\nBeginEnrollment(0)\nBeginEnrollment(0)\n"
            "EndCaptureOn(null)\nEndCaptureOn(null)\nEndCaptureOn(null)")
      << "failed calls are logged too";

  // Reset: a working scanner again, the log empty.
  ASSERT_EQ(Results(L"StartupStage1", L"-1"), S_OK);
  ASSERT_EQ(Fail(L"StartupStage2", kFail), S_OK);
  ASSERT_EQ(Fail(L"Advise", kFail), S_OK);
  ASSERT_EQ(scanner->Reset(), S_OK);
  EXPECT_EQ(CallLog(), "");
  EXPECT_EQ(statuses(1), std::vector<LONG>{0});
  EXPECT_EQ(sdk->StartupStage2(&status), S_OK);
  RecordingSink another;
  EXPECT_EQ(Advise(sdk.get(), &another, &cookie), S_OK);
}

TEST_F(SdkTest, LiveObjectsCountSdkObjectsAndPictures) {
  ComPtr<IFingerSdk> sdk = NewSdk();
  EXPECT_EQ(LiveObjects(), 1);
  Variant raw;
  MakeRawImage(Finger(1, 0), raw);
  ComPtr<IDispatch> picture, second;
  LONG code = -1;
  ASSERT_EQ(sdk->RawImageToPicture(raw.ptr(), 400, 400, 0, picture.put(), &code), S_OK);
  ASSERT_EQ(sdk->RawImageToPicture(raw.ptr(), 400, 400, 0, second.put(), &code), S_OK);
  EXPECT_EQ(LiveObjects(), 3);
  ComPtr<IPicture> asPicture;
  ASSERT_EQ(picture.As(asPicture), S_OK);
  picture = nullptr;
  EXPECT_EQ(LiveObjects(), 3) << "still referenced as IPicture";
  asPicture = nullptr;
  EXPECT_EQ(LiveObjects(), 2);
  ASSERT_EQ(scanner->Reset(), S_OK);
  EXPECT_EQ(LiveObjects(), 2) << "Reset forgets no real object";
  sdk = nullptr;
  EXPECT_EQ(LiveObjects(), 1) << "a picture outlives its SDK object";
  second = nullptr;
  EXPECT_EQ(LiveObjects(), 0);
}

TEST_F(SdkTest, DispatchAndClassInformationComeFromTheTypeLibraries) {
  ComPtr<IFingerSdk> sdk = NewSdk();
  // The SDK's IDispatch: names and DISPIDs of its own library.
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(sdk.As(dispatch), S_OK);
  LPOLESTR name = const_cast<LPOLESTR>(L"StartupStage2");
  DISPID id = 0;
  ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
  EXPECT_EQ(id, 18);
  ASSERT_EQ(Results(L"StartupStage2", L"-6"), S_OK);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  Variant result;
  ASSERT_EQ(dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, result.ptr(), nullptr, nullptr),
            S_OK);
  EXPECT_EQ(result.get().vt, VT_I4);
  EXPECT_EQ(result.get().lVal, -6);

  // The channel's IDispatch: its own library, the second one in the module.
  ComPtr<IDispatch> channel;
  ASSERT_EQ(scanner.As(channel), S_OK);
  name = const_cast<LPOLESTR>(L"LiveObjects");
  ASSERT_EQ(channel->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
  EXPECT_EQ(id, 8);
  Variant live;
  ASSERT_EQ(channel->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, live.ptr(), nullptr,
                            nullptr),
            S_OK);
  EXPECT_EQ(live.get().lVal, 1);

  // Class information and the one connection point.
  ComPtr<IProvideClassInfo2> info;
  ASSERT_EQ(sdk.As(info), S_OK);
  GUID source = GUID_NULL;
  ASSERT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
  EXPECT_TRUE(IsEqualGUID(source, DIID__IFingerSdkEvents));
  ComPtr<ITypeInfo> classInfo;
  ASSERT_EQ(info->GetClassInfo(classInfo.put()), S_OK);

  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(sdk.As(container), S_OK);
  ComPtr<IEnumConnectionPoints> points;
  ASSERT_EQ(container->EnumConnectionPoints(points.put()), S_OK);
  IConnectionPoint* found[2] = {};
  ULONG fetched = 0;
  EXPECT_EQ(points->Next(2, found, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 1u);
  IID iid = GUID_NULL;
  found[0]->GetConnectionInterface(&iid);
  EXPECT_TRUE(IsEqualGUID(iid, DIID__IFingerSdkEvents));
  found[0]->Release();
  ComPtr<IConnectionPoint> none2;
  EXPECT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, none2.put()), CONNECT_E_NOCONNECTION);

  // A sink without the event interface cannot connect.
  struct Plain : IUnknown {
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
      *out = iid == IID_IUnknown ? this : nullptr;
      return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
  } plain;
  DWORD cookie = 0;
  EXPECT_EQ(Advise(sdk.get(), &plain, &cookie), CONNECT_E_CANNOTCONNECT);
}

}  // namespace
}  // namespace simtest
