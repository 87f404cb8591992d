#include "control_window.h"

#include <cwchar>
#include <string>

namespace activex {

namespace {

// The module holding this code: the window class belongs to it.
HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

// Window classes registered by a DLL outlive it. The name carries the window procedure's
// address, so that a module loaded again elsewhere registers its own class instead of finding
// one that points into freed code.
std::wstring ClassNameFor(WNDPROC procedure) {
  wchar_t name[64];
  swprintf(name, sizeof name / sizeof name[0], L"ActiveXControlWindow:%p",
           reinterpret_cast<void*>(procedure));
  return name;
}

HRESULT RegisterControlClass(const wchar_t* name, WNDPROC procedure, HINSTANCE module) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = procedure;
  wc.hInstance = module;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = name;
  if (RegisterClassExW(&wc)) return S_OK;
  const DWORD error = GetLastError();
  if (error == ERROR_CLASS_ALREADY_EXISTS) return S_OK;  // another thread of this module won
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace

ControlWindow::~ControlWindow() {
  if (!hwnd_) return;
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  HWND window = hwnd_;
  hwnd_ = nullptr;
  DestroyWindow(window);
}

HRESULT ControlWindow::Create(HWND parent, const RECT& position, DWORD style, DWORD exStyle,
                              WindowMessageHandler handler, void* owner) {
  if (hwnd_) return E_UNEXPECTED;
  if (!handler) return E_POINTER;
  static const std::wstring className = ClassNameFor(&Procedure);
  HINSTANCE module = ThisModule();
  HRESULT hr = RegisterControlClass(className.c_str(), &Procedure, module);
  if (FAILED(hr)) return hr;
  handler_ = handler;
  owner_ = owner;
  HWND made = CreateWindowExW(exStyle, className.c_str(), nullptr, style, position.left,
                              position.top, position.right - position.left,
                              position.bottom - position.top, parent, nullptr, module, this);
  if (!made) {
    const DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
  }
  return S_OK;  // hwnd_ was set at WM_NCCREATE
}

void ControlWindow::Destroy() {
  if (hwnd_) DestroyWindow(hwnd_);  // WM_NCDESTROY clears hwnd_
}

LRESULT CALLBACK ControlWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                          LPARAM lParam) {
  auto* self = reinterpret_cast<ControlWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    self = static_cast<ControlWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = window;
  }
  if (!self) return DefWindowProcW(window, message, wParam, lParam);

  LRESULT result = 0;
  const bool handled = self->handler_(self->owner_, window, message, wParam, lParam, result);
  if (!handled) result = DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
  }
  return result;
}

}  // namespace activex
