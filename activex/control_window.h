// The window part of a control: a child window of the container whose messages go to the
// control's message handling, and which is destroyed with its owner.
#pragma once

#include <windows.h>

namespace activex {

// Handles one message for the window's owner: true when handled, with `result` set; false sends
// the message on to DefWindowProc.
using WindowMessageHandler = bool (*)(void* owner, HWND window, UINT message, WPARAM wParam,
                                      LPARAM lParam, LRESULT& result);

class ControlWindow {
 public:
  ControlWindow() = default;
  ControlWindow(const ControlWindow&) = delete;
  ControlWindow& operator=(const ControlWindow&) = delete;
  // The owner is going away: no message reaches it any more, then the window is destroyed.
  ~ControlWindow();

  // Creates the window at `position` (in the parent's client coordinates) with these styles.
  // Messages go to `handler` with `owner` from WM_NCCREATE on. Fails when a window exists.
  HRESULT Create(HWND parent, const RECT& position, DWORD style, DWORD exStyle,
                 WindowMessageHandler handler, void* owner);
  // Destroys the window; its last messages (focus loss, WM_DESTROY) still reach the handler.
  void Destroy();

  HWND get() const { return hwnd_; }
  explicit operator bool() const { return hwnd_ != nullptr; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
  WindowMessageHandler handler_ = nullptr;
  void* owner_ = nullptr;
};

}  // namespace activex
