// A real MessageBoxW on the test display, read and closed from a second thread: the way the
// fingerprint control's start-up message is checked.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

struct Seen {
  std::wstring caption;
  std::wstring text;
  bool found = false;
};

// Waits for a dialog with this caption, reads its static text and presses OK.
void CloseBox(const wchar_t* caption, Seen& seen) {
  for (int i = 0; i < 200 && !seen.found; ++i) {
    HWND box = FindWindowW(L"#32770", caption);
    if (!box) {
      Sleep(50);
      continue;
    }
    wchar_t buf[256] = {};
    GetWindowTextW(box, buf, 256);
    seen.caption = buf;
    GetDlgItemTextW(box, 0xFFFF, buf, 256);
    seen.text = buf;
    seen.found = true;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
}

TEST(MessageBox, ShownAndClosedFromAnotherThread) {
  Seen seen;
  std::thread watcher(CloseBox, L"Error", std::ref(seen));
  const int answer = MessageBoxW(nullptr, L"Failed to Initialized FingerPrint ActiveX", L"Error",
                                 MB_OK | MB_ICONERROR);
  watcher.join();
  ASSERT_TRUE(seen.found) << "no dialog appeared";
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(seen.caption, L"Error");
  EXPECT_EQ(seen.text, L"Failed to Initialized FingerPrint ActiveX");
}

}  // namespace
