// IPropertyPage on a dialog template of the module: the page's window is a modeless child
// dialog made from the template, and its title, help file and document string are string
// resources of the module.
//
//   class CThingPage : public activex::ObjectRoot<CThingPage>,
//                      public activex::PropertyPageImpl<CThingPage> {
//    public:
//     static constexpr UINT kDialog = 104;      // DIALOG resource
//     static constexpr UINT kTitle = 105;       // STRINGTABLE entries
//     static constexpr UINT kHelpFile = 106;
//     static constexpr UINT kDocString = 107;
//     static constexpr DWORD kHelpContext = 0;
//     static const activex::InterfaceEntry* InterfaceMap();  // Entry<CThingPage, IPropertyPage>()
//   };
//
// The dialog keeps the system's own handling of its messages. Apply clears the page's changed
// flag; a page with fields of its own redefines Apply to hand them to Objects() first.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cwchar>
#include <utility>
#include <vector>

#include "com_ptr.h"
#include "module_lock.h"

namespace activex {

// A window destroyed with DestroyWindow when the owner goes.
class OwnedWindow {
 public:
  OwnedWindow() = default;
  OwnedWindow(const OwnedWindow&) = delete;
  OwnedWindow& operator=(const OwnedWindow&) = delete;
  ~OwnedWindow() { Reset(); }

  HWND get() const { return hwnd_; }
  explicit operator bool() const { return hwnd_ != nullptr; }
  void Reset(HWND hwnd = nullptr) {
    if (HWND old = std::exchange(hwnd_, hwnd)) DestroyWindow(old);
  }

 private:
  HWND hwnd_ = nullptr;
};

// A copy of string resource `id` of this module in task memory, for the caller to free with
// CoTaskMemFree. A missing string gives null and S_OK: the page simply has none.
inline HRESULT LoadTaskString(UINT id, LPOLESTR* out) {
  *out = nullptr;
  const wchar_t* text = nullptr;
  // With a length of 0 the call hands out the resource's own text, not terminated.
  const int length = LoadStringW(ModuleInstance(), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || !text) return S_OK;
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((length + 1) * sizeof(OLECHAR)));
  if (!copy) return E_OUTOFMEMORY;
  wmemcpy(copy, text, length);
  copy[length] = L'\0';
  *out = copy;
  return S_OK;
}

template <class T>
class PropertyPageImpl : public IPropertyPage {
 public:
  STDMETHODIMP SetPageSite(IPropertyPageSite* site) override {
    if (site && site_) return E_UNEXPECTED;  // one site at a time
    site_ = ComPtr<IPropertyPageSite>(site);
    return S_OK;
  }

  // Creates the page's dialog inside `parent` at `rect`; shown later through Show.
  STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL) override {
    if (!rect) return E_POINTER;
    if (window_) return E_UNEXPECTED;
    HRESULT hr = CreatePageWindow(parent);
    if (FAILED(hr)) return hr;
    return Move(rect);
  }
  STDMETHODIMP Deactivate() override {
    window_.Reset();
    return S_OK;
  }

  // The page's size is its dialog's, measured on a hidden copy made from the template.
  STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override {
    if (!info) return E_POINTER;
    SIZE size{};
    HRESULT hr = MeasureDialog(&size);
    if (FAILED(hr)) return hr;
    PROPPAGEINFO made{};
    made.cb = sizeof made;
    made.size = size;
    made.dwHelpContext = T::kHelpContext;
    hr = LoadTaskString(T::kTitle, &made.pszTitle);
    if (SUCCEEDED(hr)) hr = LoadTaskString(T::kHelpFile, &made.pszHelpFile);
    if (SUCCEEDED(hr)) hr = LoadTaskString(T::kDocString, &made.pszDocString);
    if (FAILED(hr)) {
      CoTaskMemFree(made.pszTitle);
      CoTaskMemFree(made.pszHelpFile);
      CoTaskMemFree(made.pszDocString);
      return hr;
    }
    *info = made;
    return S_OK;
  }

  // The objects the page edits; a new set replaces the old, none clears it.
  STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override {
    if (count && !objects) return E_POINTER;
    std::vector<ComPtr<IUnknown>> kept;
    kept.reserve(count);
    for (ULONG i = 0; i < count; ++i) kept.emplace_back(objects[i]);
    objects_ = std::move(kept);
    return S_OK;
  }

  STDMETHODIMP Show(UINT command) override {
    if (!window_) return E_UNEXPECTED;
    ShowWindow(window_.get(), command);  // returns the previous visibility
    return S_OK;
  }
  STDMETHODIMP Move(LPCRECT rect) override {
    if (!rect) return E_POINTER;
    if (!window_) return E_UNEXPECTED;
    if (!MoveWindow(window_.get(), rect->left, rect->top, rect->right - rect->left,
                    rect->bottom - rect->top, TRUE))
      return LastError();
    return S_OK;
  }

  STDMETHODIMP IsPageDirty() override { return dirty_ ? S_OK : S_FALSE; }
  STDMETHODIMP Apply() override {
    dirty_ = false;
    return S_OK;
  }
  // The frame shows the help file and context of GetPageInfo itself.
  STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
  // The dialog's own keyboard handling (tab order, default buttons); S_FALSE when it takes no
  // part in the message.
  STDMETHODIMP TranslateAccelerator(MSG* message) override {
    if (!message) return E_POINTER;
    if (window_ && IsDialogMessageW(window_.get(), message)) return S_OK;
    return S_FALSE;
  }

  HWND PageWindow() const { return window_.get(); }
  const std::vector<ComPtr<IUnknown>>& Objects() const { return objects_; }

 protected:
  PropertyPageImpl() = default;
  ~PropertyPageImpl() = default;

  // Marks the page changed and tells the frame, which enables its Apply button.
  void SetDirty(bool dirty) {
    dirty_ = dirty;
    // A notification: the frame's answer changes nothing here.
    if (dirty && site_) site_->OnStatusChange(PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE);
  }

 private:
  static HRESULT LastError() {
    const DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
  }

  // The dialog keeps the system's handling; only the focus is left where it is at creation.
  static INT_PTR CALLBACK DialogProcedure(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
  }

  static HWND MakeDialog(HWND parent) {
    return CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(T::kDialog), parent,
                              &DialogProcedure, 0);
  }

  HRESULT CreatePageWindow(HWND parent) {
    HWND made = MakeDialog(parent);
    if (!made) return LastError();
    window_.Reset(made);
    return S_OK;
  }

  static HRESULT MeasureDialog(SIZE* size) {
    OwnedWindow probe;
    probe.Reset(MakeDialog(GetDesktopWindow()));
    if (!probe) return LastError();
    RECT r{};
    if (!GetWindowRect(probe.get(), &r)) return LastError();
    *size = {r.right - r.left, r.bottom - r.top};
    return S_OK;
  }

  ComPtr<IPropertyPageSite> site_;
  std::vector<ComPtr<IUnknown>> objects_;
  OwnedWindow window_;
  bool dirty_ = false;
};

}  // namespace activex
