// Finger images from the simulated scanner through the control, as a C++ host sees them: the
// image files, ImageCode, the enrollment step with IsEnroll, ExtractCode and the events, what
// the host's handlers see of the stored image, the failures that stop a run, and a long run of
// images that must not leave anything behind.
#include <windows.h>
#include <ole2.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base64.h"
#include "control_client.h"
#include "gdi.h"
#include "image_file_checks.h"
#include "canvas.h"

namespace fingerprint_test {
namespace {

using image_checks::Bytes;
using image_checks::Read;

constexpr wchar_t kBmp[] = L"C:\\FingerImage\\FingerImage.bmp";
constexpr wchar_t kJpeg[] = L"C:\\FingerImage\\FingerImage.jpg";
constexpr DISPID kOnSuccess = 5, kOnFailure = 6;

class OleEnvironment : public testing::Environment {
 public:
  void SetUp() override { ASSERT_EQ(OleInitialize(nullptr), S_OK); }
  void TearDown() override { OleUninitialize(); }
};
const auto* const oleEnvironment = testing::AddGlobalTestEnvironment(new OleEnvironment);

// A grey image whose top half is dark and bottom half light, with a little texture.
Bytes Pixels(int width, int height, int seed = 0) {
  Bytes p(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      p[static_cast<size_t>(y) * width + x] =
          static_cast<std::uint8_t>((y < height / 2 ? 0x20 : 0xE0) + ((x + y + seed) % 8));
  return p;
}

// What the control publishes for these bytes.
std::wstring Base64Of(const Bytes& bytes) {
  std::string text;
  EXPECT_EQ(fingerprint::EncodeBase64(bytes.data(), static_cast<std::int32_t>(bytes.size()), text),
            fingerprint::Base64Status::ok);
  return std::wstring(text.begin(), text.end());
}

size_t Base64Length(std::int32_t count) {
  size_t length = 0;
  EXPECT_TRUE(fingerprint::Base64TextLength(count, length));
  return length;
}

// The size of the 8-bit grey BMP of a width x height image.
size_t BmpSize(int width, int height) { return 14 + 40 + 256 * 4 + ((width + 3) & ~3) * height; }

class ImageEvent : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scanner);
    scanner.Reset();
    ASSERT_EQ(CreateControl(control), S_OK);
    events.Advise(control.get());
    second.Advise(control.get());
  }
  void TearDown() override {
    events.Unadvise();
    second.Unadvise();
    if (control) control->Destroy();  // some tests destroyed it already
    control = nullptr;
    scanner.PictureWithoutIPicture(false);
    EXPECT_EQ(scanner.LiveObjects(), 0) << "nothing the scanner handed out is left";
  }

  std::wstring ImageCode() {
    Bstr text;
    EXPECT_EQ(control->get_ImageCode(text.put()), S_OK);
    return text.str();
  }
  std::wstring ExtractCode() {
    Bstr text;
    EXPECT_EQ(control->get_ExtractCode(text.put()), S_OK);
    return text.str();
  }
  LONG IsEnroll() {
    LONG value = -100;
    EXPECT_EQ(control->get_IsEnroll(&value), S_OK);
    return value;
  }
  void SetMarkers() {
    Bstr image(L"old image"), code(L"old code");
    ASSERT_EQ(control->put_ImageCode(image.get()), S_OK);
    ASSERT_EQ(control->put_ExtractCode(code.get()), S_OK);
    ASSERT_EQ(control->put_IsEnroll(7), S_OK);
    events.seen.clear();
    second.seen.clear();
  }

  Scanner scanner = Scanner::Simulated();
  ComPtr<IMyControl> control;
  HostEvents events, second;
};

using test_support::Canvas;

TEST_F(ImageEvent, ACompleteRun) {
  image_checks::RemoveImageFolder(kBmp, kJpeg, L"C:\\FingerImage");
  scanner.Results(L"EnrollFromImage", L"1");
  const Bytes pixels = Pixels(40, 30);
  scanner.TouchImage(40, 30, pixels);

  EXPECT_EQ(ImageCode(), Base64Of(pixels)) << "exactly the event's bytes";
  const Bytes bmp = Read(kBmp);
  const image_checks::BmpHeader header = image_checks::HeaderOf(bmp);
  EXPECT_EQ(header.file.bfType, 0x4D42);
  EXPECT_EQ(header.info.biWidth, 40);
  EXPECT_EQ(header.info.biHeight, 30);
  EXPECT_EQ(header.info.biBitCount, 8);
  ASSERT_EQ(bmp.size(), BmpSize(40, 30)) << "a 256-entry palette and the rows, nothing more";
  for (int i : {0, 100, 255}) {
    const std::uint8_t* entry = bmp.data() + 54 + 4 * i;
    EXPECT_TRUE(entry[0] == i && entry[1] == i && entry[2] == i) << "palette entry " << i;
  }
  const image_checks::Decoded jpeg = image_checks::Decode(kJpeg);
  EXPECT_EQ(jpeg.format, image_checks::kJpegFormat);
  EXPECT_EQ(jpeg.width, 40u);
  EXPECT_EQ(jpeg.height, 30u);

  EXPECT_EQ(events.seen, std::vector<DISPID>{kOnSuccess});
  EXPECT_EQ(second.seen, std::vector<DISPID>{kOnSuccess}) << "every advised sink hears it";
  EXPECT_EQ(IsEnroll(), 1);
  const std::wstring published = ExtractCode();
  EXPECT_FALSE(published.empty());
  EXPECT_EQ(scanner.LiveObjects(), 2)
      << "the SDK control and one picture; the event's array was freed";

  // The stored copy: its numbers reach the SDK, and its bytes give the same template again.
  scanner.Reset();
  scanner.Results(L"EnrollFromImage", L"2");
  EXPECT_EQ(control->Enroll(), S_OK);
  EXPECT_EQ(scanner.Log(), L"EnrollFromImage(1200,40,30,500,10000,10000,8,0,0)");
  EXPECT_EQ(control->ExtractTemplate(), S_OK);
  EXPECT_EQ(control->Identify(), S_OK);
  EXPECT_EQ(ExtractCode(), published);

  // The picture drawn over the bounds, upright: dark above, light below.
  Canvas canvas(80, 60);
  const RECTL bounds{0, 0, 80, 60};
  ComPtr<IViewObject> view;
  ASSERT_EQ(control.As(view), S_OK);
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.dc(), &bounds,
                       nullptr, nullptr, 0),
            S_OK);
  EXPECT_LT(canvas.Grey(40, 5), 0x60);
  EXPECT_GT(canvas.Grey(40, 55), 0xA0);
  EXPECT_LT(canvas.Grey(2, 2), 0x60) << "stretched to the corners";
  EXPECT_GT(canvas.Grey(77, 57), 0xA0);
}

TEST_F(ImageEvent, EnrollmentStatusesAfterAnImage) {
  const std::wstring zeros = Base64Of(Bytes(10000, 0));
  enum class Code { kUnchanged, kTemplate, kZeros, k404Bytes };
  struct Case {
    const char* name;
    const wchar_t* enroll;    // scripted statuses ("" none)
    const wchar_t* extract;   // scripted results ("" none)
    HRESULT extractFailure;   // S_OK: none
    HRESULT enrollFailure;
    LONG isEnroll;
    Code code;
    std::vector<DISPID> events;
  } cases[] = {
      {"status 4", L"4", L"", S_OK, S_OK, 1, Code::kTemplate, {kOnSuccess}},
      {"status 1", L"1", L"", S_OK, S_OK, 1, Code::kTemplate, {kOnSuccess}},
      {"status 0", L"0", L"", S_OK, S_OK, 0, Code::kUnchanged, {kOnFailure}},
      {"status -1", L"-1", L"", S_OK, S_OK, 0, Code::kUnchanged, {kOnFailure}},
      {"status 5", L"5", L"", S_OK, S_OK, 0, Code::kUnchanged, {kOnFailure}},
      {"no template: the whole zero buffer", L"1", L"0", S_OK, S_OK, 1, Code::kZeros, {kOnSuccess}},
      {"a template of 404 bytes", L"1", L"1:404", S_OK, S_OK, 1, Code::k404Bytes, {kOnSuccess}},
      {"extraction fails: no event", L"3", L"", E_FAIL, S_OK, 1, Code::kUnchanged, {}},
      {"enrollment fails: nothing", L"", L"", S_OK, E_FAIL, 7, Code::kUnchanged, {}},
  };
  int seed = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    scanner.Reset();
    SetMarkers();
    if (*c.enroll) scanner.Results(L"EnrollFromImage", c.enroll);
    if (*c.extract) scanner.Results(L"ExtractTemplateFromImage", c.extract);
    if (FAILED(c.extractFailure)) scanner.Fail(L"ExtractTemplateFromImage", c.extractFailure);
    if (FAILED(c.enrollFailure)) scanner.Fail(L"EnrollFromImage", c.enrollFailure);
    const Bytes pixels = Pixels(24, 20, ++seed);
    scanner.TouchImage(24, 20, pixels);

    EXPECT_EQ(ImageCode(), Base64Of(pixels)) << "published before the enrollment step";
    EXPECT_EQ(IsEnroll(), c.isEnroll);
    EXPECT_EQ(events.seen, c.events);
    const std::wstring code = ExtractCode();
    switch (c.code) {
      case Code::kUnchanged:
        EXPECT_EQ(code, L"old code");
        break;
      case Code::kTemplate:
        EXPECT_NE(code, L"old code");
        EXPECT_FALSE(code.empty());
        break;
      case Code::kZeros:
        EXPECT_EQ(code, zeros);
        break;
      case Code::k404Bytes:
        EXPECT_EQ(code.size(), Base64Length(404));
        break;
    }
  }

  // Enroll on the stored image counts 1 to 3 as success, and 4 no longer.
  struct EnrollCase {
    const wchar_t* status;
    LONG isEnroll;
  } enrolls[] = {{L"4", 0}, {L"3", 1}, {L"0", 0}, {L"1", 1}, {L"-2", 0}};
  for (const EnrollCase& e : enrolls) {
    scanner.Results(L"EnrollFromImage", e.status);
    EXPECT_EQ(control->Enroll(), S_OK);
    EXPECT_EQ(IsEnroll(), e.isEnroll) << "Enroll with status " << std::string(e.status, e.status + wcslen(e.status));
  }

  // StartEnroll clears IsEnroll only for a value of 0.
  ASSERT_EQ(control->put_IsEnroll(1), S_OK);
  scanner.Results(L"BeginEnrollment", L"5,0");
  EXPECT_EQ(control->StartEnroll(), S_OK);
  EXPECT_EQ(IsEnroll(), 1) << "BeginEnrollment 5 leaves it";
  EXPECT_EQ(control->StartEnroll(), S_OK);
  EXPECT_EQ(IsEnroll(), 0);
}

TEST_F(ImageEvent, RunsThatStopBeforeTheText) {
  struct Case {
    const char* name;
    void (*script)(Scanner&);
    bool bmpEmptied;
    LONG live;  // SDK objects, pictures and arrays left
  } cases[] = {
      {"the SDK makes no picture", [](Scanner& s) { s.Results(L"RawImageToPicture", L"1"); }, false, 1},
      {"the conversion fails", [](Scanner& s) { s.Fail(L"RawImageToPicture", E_UNEXPECTED); }, false, 1},
      {"a picture without IPicture", [](Scanner& s) { s.PictureWithoutIPicture(true); }, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    scanner.Reset();
    scanner.PictureWithoutIPicture(false);
    scanner.TouchImage(32, 24, Pixels(32, 24));  // a complete run first
    ASSERT_EQ(scanner.LiveObjects(), 2);
    SetMarkers();
    const Bytes bmp = Read(kBmp), jpeg = Read(kJpeg);
    ASSERT_FALSE(jpeg.empty());

    c.script(scanner);
    scanner.TouchImage(16, 12, Pixels(16, 12, 3));
    EXPECT_EQ(ImageCode(), L"old image");
    EXPECT_EQ(IsEnroll(), 7);
    EXPECT_TRUE(events.seen.empty());
    EXPECT_EQ(Read(kBmp), c.bmpEmptied ? Bytes() : bmp);
    EXPECT_EQ(Read(kJpeg), jpeg);
    EXPECT_EQ(scanner.LiveObjects(), c.live) << "the previous picture is gone";

    // Without a picture the control draws its outlined frame again.
    Canvas canvas(20, 20);
    const RECTL bounds{0, 0, 20, 20};
    ComPtr<IViewObject> view;
    ASSERT_EQ(control.As(view), S_OK);
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.dc(), &bounds,
                         nullptr, nullptr, 0),
              S_OK);
    EXPECT_EQ(canvas.Grey(0, 10), 0) << "the default black pen";
    EXPECT_EQ(canvas.Grey(10, 10), 0xFF) << "the default white brush";
  }
}

TEST_F(ImageEvent, HandlersSeeThePreviousImage) {
  auto script = [&] {
    scanner.Reset();
    scanner.Results(L"EnrollFromImage", L"1");
    scanner.Results(L"ExtractTemplateFromImage", L"1:16");
  };
  script();
  events.during = [&](DISPID) {
    EXPECT_EQ(control->Enroll(), S_OK);
    EXPECT_EQ(control->ExtractTemplate(), S_OK);
  };
  scanner.TouchImage(20, 10, Pixels(20, 10));
  EXPECT_EQ(scanner.Log(),
            L"RawImageToPicture(200,20,10,0)\n"
            L"EnrollFromImage(200,20,10,500,10000,10000,8,0,0)\n"
            L"ExtractTemplateFromImage(200,20,10,500,10000,10000,0)")
      << "inside the first event no image is held yet";

  script();
  scanner.TouchImage(30, 15, Pixels(30, 15));
  EXPECT_EQ(scanner.Log(),
            L"RawImageToPicture(450,30,15,0)\n"
            L"EnrollFromImage(450,30,15,500,10000,10000,8,0,0)\n"
            L"ExtractTemplateFromImage(450,30,15,500,10000,10000,0)\n"
            L"EnrollFromImage(200,20,10,500,10000,10000,8,0,0)\n"
            L"ExtractTemplateFromImage(200,20,10,500,10000,10000,0)")
      << "inside the second event the handler works on the first image";

  events.during = nullptr;
  scanner.Reset();
  EXPECT_EQ(control->Enroll(), S_OK);
  EXPECT_EQ(scanner.Log(), L"EnrollFromImage(450,30,15,500,10000,10000,8,0,0)");
}

TEST_F(ImageEvent, TemplatesAfterTheImageAndAfterDestroy) {
  scanner.Results(L"EnrollFromImage", L"0");  // no template with the image itself
  scanner.TouchImage(20, 20, Pixels(20, 20));
  SetMarkers();
  scanner.Results(L"ExtractTemplateFromImage", L"1:10,1:20");
  EXPECT_EQ(control->ExtractTemplate(), S_OK);
  EXPECT_EQ(control->ExtractTemplate(), S_OK);
  EXPECT_EQ(ExtractCode(), L"old code") << "ExtractTemplate publishes nothing";
  EXPECT_EQ(control->Identify(), S_OK);
  EXPECT_EQ(ExtractCode().size(), Base64Length(20)) << "only the second template";

  EXPECT_EQ(control->Destroy(), S_OK);
  scanner.Reset();
  EXPECT_EQ(control->Enroll(), S_OK);
  EXPECT_EQ(control->ExtractTemplate(), S_OK);
  EXPECT_EQ(scanner.Log(), L"") << "Destroy let the stored image go";
  EXPECT_EQ(scanner.LiveObjects(), 0);
}

TEST_F(ImageEvent, ImageFilesFollowEveryImage) {
  image_checks::RemoveImageFolder(kBmp, kJpeg, L"C:\\FingerImage");
  scanner.TouchImage(64, 48, Pixels(64, 48));
  EXPECT_EQ(Read(kBmp).size(), BmpSize(64, 48)) << "the folder was made";
  scanner.TouchImage(16, 8, Pixels(16, 8));
  EXPECT_EQ(Read(kBmp).size(), BmpSize(16, 8)) << "nothing of the larger image is left";
  EXPECT_EQ(image_checks::Decode(kJpeg).width, 16u);

  const Bytes bmp = Read(kBmp), jpeg = Read(kJpeg);
  events.seen.clear();
  {
    activex::UniqueHandle holder(CreateFileW(kBmp, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    const Bytes pixels = Pixels(32, 32);
    scanner.TouchImage(32, 32, pixels);
    EXPECT_EQ(ImageCode(), Base64Of(pixels)) << "the run goes on without the files";
  }
  EXPECT_EQ(Read(kBmp), bmp);
  EXPECT_EQ(Read(kJpeg), jpeg);
  EXPECT_EQ(events.seen.size(), 1u);
}

struct Usage {
  DWORD handles = 0;
  SIZE_T memory = 0;
};
Usage Now() {
  Usage u;
  GetProcessHandleCount(GetCurrentProcess(), &u.handles);
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                       sizeof counters);
  u.memory = counters.PrivateUsage;
  return u;
}

TEST_F(ImageEvent, ALongRunLeavesNothingBehind) {
  // Enrollment cycles as a host runs them: a start, then touches of one finger.
  auto cycle = [&](int images) {
    for (int i = 0; i < images; ++i) {
      if (i % 5 == 0) {
        ASSERT_EQ(control->StartEnroll(), S_OK);
      }
      scanner.Touch(1 + i % 3);
      ASSERT_EQ(scanner.LiveObjects(), 2) << "image " << i;
    }
  };
  cycle(20);
  scanner.Reset();  // the log is bounded, but need not grow here
  const Usage before = Now();
  cycle(200);
  const Usage after = Now();
  EXPECT_LE(after.handles, before.handles + 4);
  EXPECT_LE(after.memory, before.memory + 4 * 1024 * 1024)
      << "grew from " << before.memory << " to " << after.memory;
  EXPECT_EQ(events.seen.size(), 220u) << "one event per image";
}

}  // namespace
}  // namespace fingerprint_test
