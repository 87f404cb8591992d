// What the fingerprint control's C++ clients share: the server loaded from its file (no
// registration needed), a new control made through its class factory, the simulated scanner's
// control channel, and a watcher that reads and closes the message boxes of this process.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bstr.h"
#include "com_ptr.h"
#include "fingersdksim.h"
#include "QuorvaneBiometric.h"

namespace fingerprint_test {

using activex::Bstr;
using activex::ComPtr;

inline std::wstring ServerPath() {
  std::wstring path = L"Z:" QUORVANE_SERVER_PATH;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

// The server DLL, loaded once for the test program.
class Server {
 public:
  static Server& Get() {
    static Server server;
    return server;
  }
  HMODULE module() const { return module_; }
  HRESULT ClassObject(REFCLSID clsid, IClassFactory** out) {
    if (!getClassObject_) return E_UNEXPECTED;
    return getClassObject_(clsid, IID_IClassFactory, reinterpret_cast<void**>(out));
  }
  HRESULT CanUnloadNow() { return canUnloadNow_ ? canUnloadNow_() : E_UNEXPECTED; }

 private:
  Server() : module_(LoadLibraryW(ServerPath().c_str())) {
    if (!module_) return;
    getClassObject_ = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    canUnloadNow_ = reinterpret_cast<HRESULT(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
  }
  HMODULE module_;
  HRESULT(WINAPI* getClassObject_)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(WINAPI* canUnloadNow_)() = nullptr;
};

// A new control through the server's class factory, as CoCreateInstance would make it.
template <class I = IMyControl>
HRESULT CreateControl(ComPtr<I>& out) {
  ComPtr<IClassFactory> factory;
  HRESULT hr = Server::Get().ClassObject(CLSID_MyControl, factory.put());
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(nullptr, __uuidof(I), out.put_void());
}

// One message box as the watcher found it.
struct SeenBox {
  std::wstring caption;
  std::wstring text;
  HWND owner = nullptr;
};

// From construction to Stop, closes (with OK) every message box that a thread of this process
// shows, remembering what it said. A box is modal in the call that shows it, so once that call
// has returned, its box has been seen.
class MessageBoxWatcher {
 public:
  MessageBoxWatcher() : thread_([this] { Run(); }) {}
  ~MessageBoxWatcher() { Stop(); }

  const std::vector<SeenBox>& Stop() {
    if (thread_.joinable()) {
      stop_ = true;
      thread_.join();
    }
    return seen_;
  }

 private:
  static BOOL CALLBACK Visit(HWND window, LPARAM context) {
    auto* self = reinterpret_cast<MessageBoxWatcher*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (process != GetCurrentProcessId() || std::wstring(name) != L"#32770" ||
        !IsWindowVisible(window) || self->closed_ == window)
      return TRUE;
    SeenBox box;
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    box.caption = text;
    GetDlgItemTextW(window, 0xFFFF, text, 256);
    box.text = text;
    box.owner = GetWindow(window, GW_OWNER);
    self->seen_.push_back(box);
    self->closed_ = window;
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    return TRUE;
  }
  void Run() {
    while (!stop_) {
      EnumWindows(&Visit, reinterpret_cast<LPARAM>(this));
      Sleep(20);
    }
  }

  std::atomic<bool> stop_{false};
  std::vector<SeenBox> seen_;
  HWND closed_ = nullptr;  // the box already answered, while it closes
  std::thread thread_;
};

// The simulated scanner's control channel, for steering and for its record of calls.
class Scanner {
 public:
  explicit Scanner(ComPtr<IFingerSdkScanner> channel) : channel_(std::move(channel)) {}

  // The channel of the registered simulated SDK ("FingerSdkSim.Scanner").
  static Scanner Simulated() {
    CLSID clsid{};
    ComPtr<IFingerSdkScanner> channel;
    EXPECT_EQ(CLSIDFromProgID(L"FingerSdkSim.Scanner", &clsid), S_OK);
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IFingerSdkScanner,
                               channel.put_void()),
              S_OK);
    return Scanner(channel);
  }

  void Results(const wchar_t* operation, const wchar_t* values) {
    Bstr op(operation), v(values);
    ASSERT_EQ(channel_->Results(op.get(), v.get()), S_OK);
  }
  void Fail(const wchar_t* operation, HRESULT hr) {
    Bstr op(operation);
    VARIANT code;
    code.vt = VT_I4;
    code.lVal = hr;
    ASSERT_EQ(channel_->Fail(op.get(), code), S_OK);
  }
  // Event 1 to 4 from the scanner; the empty text is a null string.
  void Event(LONG dispid, const wchar_t* text) {
    Bstr t(text);
    ASSERT_EQ(channel_->Event(dispid, t.get()), S_OK);
  }
  void Reset() { ASSERT_EQ(channel_->Reset(), S_OK); }
  // The image event with a new image of that finger, on every live SDK object.
  void Touch(LONG finger) { ASSERT_EQ(channel_->Touch(finger), S_OK); }
  // The image event with these grey pixels, `width` per row.
  void TouchImage(LONG width, LONG height, const std::vector<unsigned char>& pixels) {
    VARIANT bytes;
    bytes.vt = VT_ARRAY | VT_UI1;
    bytes.parray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(pixels.size()));
    ASSERT_NE(bytes.parray, nullptr);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(bytes.parray, &data), S_OK);
    if (!pixels.empty()) memcpy(data, pixels.data(), pixels.size());
    SafeArrayUnaccessData(bytes.parray);
    EXPECT_EQ(channel_->TouchImage(width, height, bytes), S_OK);
    VariantClear(&bytes);
  }
  void PictureWithoutIPicture(bool on) {
    ASSERT_EQ(channel_->PictureWithoutIPicture(on ? VARIANT_TRUE : VARIANT_FALSE), S_OK);
  }
  // The calls since the last Reset, one per line, in order.
  std::wstring Log() {
    Bstr log;
    EXPECT_EQ(channel_->get_CallLog(log.put()), S_OK);
    return log.str();
  }
  LONG LiveObjects() {
    LONG count = -1;
    EXPECT_EQ(channel_->get_LiveObjects(&count), S_OK);
    return count;
  }
  IFingerSdkScanner* get() const { return channel_.get(); }
  explicit operator bool() const { return static_cast<bool>(channel_); }

 private:
  ComPtr<IFingerSdkScanner> channel_;
};

// A host's sink for the control's events: every event in order, and `during` run inside each
// one as a host's handler runs. Lives on the stack; its count is for show.
class HostEvents final : public IDispatch {
 public:
  std::vector<DISPID> seen;
  std::function<void(DISPID)> during;

  ~HostEvents() { Unadvise(); }

  void Advise(IUnknown* control) {
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(control->QueryInterface(IID_IConnectionPointContainer, container.put_void()), S_OK);
    ASSERT_EQ(container->FindConnectionPoint(DIID__IMyControlEvents, point_.put()), S_OK);
    ASSERT_EQ(point_->Advise(this, &cookie_), S_OK);
  }
  void Unadvise() {
    if (point_) {
      EXPECT_EQ(point_->Unadvise(cookie_), S_OK);
    }
    point_ = nullptr;
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID__IMyControlEvents) {
      *out = static_cast<IDispatch*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    seen.push_back(dispid);
    if (during) during(dispid);
    return S_OK;
  }

 private:
  ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

}  // namespace fingerprint_test
