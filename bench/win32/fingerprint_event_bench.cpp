// One image event of the fingerprint control for a 500 x 500 grey image, timed under Wine: the
// whole event through the registered control and the simulated scanner, and its parts on their
// own: the BMP the picture writes, the JPEG made from it (GDI+ started and stopped as the control
// does), the Base64 text with its BSTR, and the SDK's enrollment step.
//
// usage: fingerprint_event_bench [ROUNDS]   (needs FingerSdkSim and QuorvaneBiometric registered)
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <shlwapi.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using std::max;
using std::min;
#include <gdiplus.h>

#include "base64.h"
#include "bstr.h"
#include "com_ptr.h"
#include "finger_sdk.h"
#include "fingersdksim.h"
#include "safe_array.h"
#include "to_bstr.h"
#include "variant.h"
#include "QuorvaneBiometric.h"

namespace {

using activex::ComPtr;
constexpr LONG kSide = 500;
constexpr wchar_t kBmp[] = L"C:\\FingerImage\\FingerImage.bmp";
constexpr wchar_t kJpeg[] = L"C:\\FingerImage\\FingerImage.jpg";

// Median and fastest of `rounds` runs, in milliseconds.
void Time(const char* name, int rounds, const std::function<void()>& run) {
  std::vector<double> ms;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  std::sort(ms.begin(), ms.end());
  std::printf("%-44s median %8.2f ms   fastest %8.2f ms   (%d rounds)\n", name, ms[ms.size() / 2],
              ms.front(), rounds);
}

bool Check(HRESULT hr, const char* what) {
  if (SUCCEEDED(hr)) return true;
  std::printf("%s failed: 0x%08lX\n", what, static_cast<unsigned long>(hr));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  if (!Check(OleInitialize(nullptr), "OleInitialize")) return 1;
  int status = 1;
  {
    // A synthetic grey image, as the scanner would deliver it.
    activex::Variant raw;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, kSide * kSide);
    raw.get().vt = VT_ARRAY | VT_UI1;
    raw.get().parray = array;
    {
      activex::SafeArrayData data(array);
      for (LONG i = 0; i < kSide * kSide; ++i)
        data.bytes()[i] = static_cast<std::uint8_t>((i * 7 + i / kSide * 3) & 0xFF);
    }

    CLSID scannerClass{}, controlClass{};
    ComPtr<IFingerSdkScanner> scanner;
    ComPtr<IMyControl> control;
    ComPtr<IFingerSdk> sdk;
    if (!Check(CLSIDFromProgID(L"FingerSdkSim.Scanner", &scannerClass), "the scanner's ProgID") ||
        !Check(CoCreateInstance(scannerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IFingerSdkScanner,
                                scanner.put_void()),
               "the scanner channel") ||
        !Check(CLSIDFromProgID(L"QuorvaneBiometric.MyControl", &controlClass), "the control's ProgID") ||
        !Check(CoCreateInstance(controlClass, nullptr, CLSCTX_INPROC_SERVER, IID_IMyControl,
                                control.put_void()),
               "the control") ||
        !Check(CoCreateInstance(fingerprint::kSdkClass, nullptr, CLSCTX_INPROC_SERVER,
                                fingerprint::kSdkInterface, sdk.put_void()),
               "an SDK object")) {
      OleUninitialize();
      return 1;
    }
    std::printf("One image event, %ld x %ld grey pixels, under Wine:\n", kSide, kSide);

    Time("whole event (control, simulated scanner)", rounds, [&] {
      scanner->Reset();
      scanner->TouchImage(kSide, kSide, raw.get());
    });

    // The picture the SDK makes of the image, for the two file steps.
    ComPtr<IDispatch> converted;
    LONG code = -1;
    ComPtr<IPicture> picture;
    if (!Check(sdk->RawImageToPicture(raw.ptr(), kSide, kSide, 0, converted.put(), &code), "RawImageToPicture") ||
        code != 0 || !Check(converted.As(picture), "IPicture")) {
      OleUninitialize();
      return 1;
    }
    CreateDirectoryW(L"C:\\FingerImage\\", nullptr);  // usually there already

    Time("BMP write (open, SaveAsFile, close)", rounds, [&] {
      ComPtr<IStream> stream;
      if (SUCCEEDED(SHCreateStreamOnFileW(kBmp, STGM_CREATE | STGM_SHARE_DENY_WRITE | STGM_READWRITE,
                                          stream.put())))
        picture->SaveAsFile(stream.get(), TRUE, nullptr);
    });

    CLSID jpegEncoder{};
    {
      Gdiplus::GdiplusStartupInput input;
      ULONG_PTR token = 0;
      Gdiplus::GdiplusStartup(&token, &input, nullptr);
      UINT count = 0, size = 0;
      Gdiplus::DllExports::GdipGetImageEncodersSize(&count, &size);
      std::vector<BYTE> storage(size);
      auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(storage.data());
      Gdiplus::DllExports::GdipGetImageEncoders(count, size, codecs);
      for (UINT i = 0; i < count; ++i)
        if (std::wstring(codecs[i].MimeType) == L"image/jpeg") jpegEncoder = codecs[i].Clsid;
      Gdiplus::GdiplusShutdown(token);
    }
    Time("JPEG (GDI+ start, decode BMP, encode, stop)", rounds, [&] {
      ComPtr<IStream> stream;
      if (FAILED(SHCreateStreamOnFileW(kBmp, STGM_READ | STGM_SHARE_DENY_WRITE, stream.put()))) return;
      Gdiplus::GdiplusStartupInput input;
      ULONG_PTR token = 0;
      if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return;
      Gdiplus::GpBitmap* bitmap = nullptr;
      if (Gdiplus::DllExports::GdipCreateBitmapFromStream(stream.get(), &bitmap) == Gdiplus::Ok) {
        Gdiplus::DllExports::GdipSaveImageToFile(bitmap, kJpeg, &jpegEncoder, nullptr);
        Gdiplus::DllExports::GdipDisposeImage(bitmap);
      }
      Gdiplus::GdiplusShutdown(token);
    });

    Time("Base64 text and its BSTR (250000 bytes)", rounds, [&] {
      activex::SafeArrayData data(array);
      std::string text;
      fingerprint::EncodeBase64(data.bytes(), kSide * kSide, text);
      activex::Bstr wide;
      activex::ToBstr(text, wide.put());
    });

    Time("enrollment step (EnrollFromImage)", rounds, [&] {
      activex::ByteSafeArray buffer;
      buffer.Create(10000);
      SAFEARRAY* bytes = buffer.Detach();
      LONG size = 10000, mode = 8, result = 0;
      sdk->EnrollFromImage(raw.ptr(), kSide, kSide, 500, &bytes, &size, &mode, 0, 0, &result);
      buffer.Reset(bytes);
    });

    control->Destroy();  // the end of the run; what it answers changes nothing here
    status = 0;
  }
  OleUninitialize();
  return status;
}
