// The two files every acquired finger image leaves on disk: "C:\FingerImage\FingerImage.bmp",
// the picture object's own serialisation, and "C:\FingerImage\FingerImage.jpg", re-encoded from
// that BMP with the system's JPEG encoder (GDI+, default settings).
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace fingerprint {

constexpr wchar_t kImageFolder[] = L"C:\\FingerImage\\";
constexpr wchar_t kBmpFile[] = L"C:\\FingerImage\\FingerImage.bmp";
constexpr wchar_t kJpegFile[] = L"C:\\FingerImage\\FingerImage.jpg";

// Writes both files for `picture` (an object that should answer IPicture; null for none):
//   1. the folder is created when missing;
//   2. the BMP is created or truncated and opened for reading and writing, others kept from
//      writing it;
//   3. the picture saves itself into it;
//   4. GDI+ (started for this run) decodes the BMP just written, from its start;
//   5. the JPEG is written by the first installed encoder whose extensions include ".jpg";
//   6. the decoded image and the BMP are let go, GDI+ shut down.
// Every step runs even when an earlier one failed, and none reports its failure: the files keep
// whatever the steps that worked left. The one failure that stops is E_POINTER, when the BMP
// was opened but `picture` gives no IPicture: the BMP is left empty, the JPEG untouched.
HRESULT WriteImageFiles(IUnknown* picture);

}  // namespace fingerprint
