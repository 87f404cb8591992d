#include "stand_in_sdk.h"

#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "bstr.h"
#include "channel.h"
#include "finger_sdk.h"

namespace stand_in_sdk {
namespace {

using activex::ComPtr;
using fingersim::LogArg;
using fingersim::Operation;
using fingersim::ScannerChannel;

std::string Utf8(const wchar_t* text, int length = -1) {
  if (!text) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size : 0, '\0');
  if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
  if (length < 0 && !out.empty()) out.pop_back();  // the terminator
  return out;
}

LogArg Text(BSTR text) {
  return text ? LogArg::Text(Utf8(text, static_cast<int>(SysStringLen(text)))) : LogArg::Null();
}

class SdkObject;
std::vector<SdkObject*> liveObjects;

// The element count of the array a raw image VARIANT holds, by value or by reference; 0 for none.
long Count(const VARIANT* raw) {
  if (!raw) return 0;
  SAFEARRAY* a = nullptr;
  if (raw->vt & VT_ARRAY) a = (raw->vt & VT_BYREF) ? (raw->pparray ? *raw->pparray : nullptr) : raw->parray;
  return a && SafeArrayGetDim(a) >= 1 ? static_cast<long>(a->rgsabound[0].cElements) : 0;
}

// IDispatch methods nobody here calls through IDispatch.
template <class I>
class NoDispatch : public I {
 public:
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    return E_NOTIMPL;
  }
};

class SdkObject final : public NoDispatch<IFingerSdk>,
                        public IConnectionPointContainer,
                        public IConnectionPoint {
 public:
  SdkObject() { liveObjects.push_back(this); }
  ~SdkObject() {
    for (auto it = liveObjects.begin(); it != liveObjects.end(); ++it)
      if (*it == this) {
        liveObjects.erase(it);
        break;
      }
  }

  // Sends event 1 to 4 with a text argument to every connected sink.
  void Fire(DISPID dispid, BSTR text) {
    for (size_t i = 0; i < sinks_.size(); ++i) {
      ComPtr<IDispatch> sink = sinks_[i];
      if (!sink) continue;
      VARIANT arg;
      arg.vt = VT_BSTR;
      arg.bstrVal = text;
      DISPPARAMS params{&arg, nullptr, 1, 0};
      sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                   nullptr, nullptr);
    }
  }

  // Sends the image event with `raw` passed by reference.
  void FireImage(VARIANT* raw, LONG width, LONG height, LONG extra) {
    for (size_t i = 0; i < sinks_.size(); ++i) {
      ComPtr<IDispatch> sink = sinks_[i];
      if (!sink) continue;
      VARIANT args[5];  // last argument first
      args[4].vt = VT_BSTR;
      args[4].bstrVal = nullptr;
      args[3].vt = VT_I4;
      args[3].lVal = width;
      args[2].vt = VT_I4;
      args[2].lVal = height;
      args[1].vt = VT_BYREF | VT_VARIANT;
      args[1].pvarVal = raw;
      args[0].vt = VT_I4;
      args[0].lVal = extra;
      DISPPARAMS params{args, nullptr, 5, 0};
      sink->Invoke(fingerprint::kSdkImage, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                   &params, nullptr, nullptr, nullptr);
    }
  }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == fingerprint::kSdkInterface)
      *out = static_cast<IFingerSdk*>(this);
    else if (iid == IID_IConnectionPointContainer)
      *out = static_cast<IConnectionPointContainer*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // IFingerSdk
  STDMETHODIMP StartupStage1(LONG* status) override { return Status(Operation::StartupStage1, {}, status); }
  STDMETHODIMP ShutdownStage1(LONG* status) override { return Status(Operation::ShutdownStage1, {}, status); }
  STDMETHODIMP Reserved09() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved10() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved11() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved12() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved13() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved14() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved15() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved16() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved17() override { return E_NOTIMPL; }
  STDMETHODIMP StartupStage2(LONG* status) override { return Status(Operation::StartupStage2, {}, status); }
  STDMETHODIMP ShutdownStage2(LONG* status) override { return Status(Operation::ShutdownStage2, {}, status); }
  STDMETHODIMP BeginCaptureOn(BSTR id, LONG* result) override {
    return Status(Operation::BeginCaptureOn, {Text(id)}, result);
  }
  STDMETHODIMP EndCaptureOn(BSTR id, LONG* result) override {
    return Status(Operation::EndCaptureOn, {Text(id)}, result);
  }
  STDMETHODIMP Reserved22() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved23() override { return E_NOTIMPL; }
  // Records the call and makes no picture: code 1 unless scripted.
  STDMETHODIMP RawImageToPicture(VARIANT* raw, LONG width, LONG height, LONG flags,
                                 IDispatch** picture, LONG* code) override {
    if (!picture || !code) return E_POINTER;
    *picture = nullptr;
    const ScannerChannel::Call call = ScannerChannel::Process().Enter(
        Operation::RawImageToPicture, {LogArg::Number(Count(raw)), LogArg::Number(width),
                                       LogArg::Number(height), LogArg::Number(flags)});
    if (call.failed()) return call.failure;
    *code = call.scripted ? call.scripted->value : 1;
    return S_OK;
  }
  STDMETHODIMP ExtractTemplateFromImage(VARIANT*, LONG, LONG, LONG, SAFEARRAY**, LONG*, LONG,
                                        LONG*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Reserved26() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved27() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved28() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved29() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved30() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved31() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved32() override { return E_NOTIMPL; }
  STDMETHODIMP BeginEnrollment(LONG flags, LONG* status) override {
    return Status(Operation::BeginEnrollment, {LogArg::Number(flags)}, status);
  }
  STDMETHODIMP EnrollFromImage(VARIANT*, LONG, LONG, LONG, SAFEARRAY**, LONG*, LONG*, LONG, LONG,
                               LONG*) override {
    return E_NOTIMPL;
  }

  // IConnectionPointContainer: one point, for the SDK's events.
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != fingerprint::kSdkEvents) return CONNECT_E_NOCONNECTION;
    *out = this;
    AddRef();
    return S_OK;
  }

  // IConnectionPoint
  STDMETHODIMP GetConnectionInterface(IID* iid) override {
    *iid = fingerprint::kSdkEvents;
    return S_OK;
  }
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override {
    *out = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
    if (!sink || !cookie) return E_POINTER;
    *cookie = 0;
    if (const HRESULT failure = ScannerChannel::Process().TakeFailure(Operation::Advise))
      return failure;
    ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(fingerprint::kSdkEvents, events.put_void())))
      return CONNECT_E_CANNOTCONNECT;
    sinks_.push_back(events);
    *cookie = static_cast<DWORD>(sinks_.size());
    return S_OK;
  }
  STDMETHODIMP Unadvise(DWORD cookie) override {
    if (cookie == 0 || cookie > sinks_.size() || !sinks_[cookie - 1]) return CONNECT_E_NOCONNECTION;
    sinks_[cookie - 1] = nullptr;
    return S_OK;
  }
  STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

 private:
  HRESULT Status(Operation operation, std::initializer_list<LogArg> args, LONG* out) {
    if (!out) return E_POINTER;
    const ScannerChannel::Call call = ScannerChannel::Process().Enter(operation, args);
    if (call.failed()) return call.failure;
    *out = call.scripted ? call.scripted->value : 0;
    return S_OK;
  }

  ULONG refs_ = 1;
  std::vector<ComPtr<IDispatch>> sinks_;
};

class Factory final : public IClassFactory {
 public:
  HRESULT creation = S_OK;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (FAILED(creation)) return creation;
    auto* object = new SdkObject;
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

Factory factory;
DWORD registration = 0;

class Channel final : public NoDispatch<IFingerSdkScanner> {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IFingerSdkScanner) {
      *out = static_cast<IFingerSdkScanner*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP Results(BSTR operation, BSTR values) override {
    return ScannerChannel::Process().SetResults(Utf8(operation), Utf8(values)) ? S_OK
                                                                               : E_INVALIDARG;
  }
  STDMETHODIMP Fail(BSTR operation, VARIANT hresult) override {
    if (hresult.vt != VT_I4) return E_INVALIDARG;  // the tests pass their codes as numbers
    return ScannerChannel::Process().AddFailure(Utf8(operation), hresult.lVal) ? S_OK
                                                                               : E_INVALIDARG;
  }
  STDMETHODIMP PictureWithoutIPicture(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP Touch(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP TouchImage(LONG, LONG, VARIANT) override { return E_NOTIMPL; }
  STDMETHODIMP Event(LONG dispid, BSTR text) override {
    if (dispid < 1 || dispid > 4) return E_INVALIDARG;
    // Every live object, as a scanner's own event would reach every client; an empty text is
    // passed as a null string.
    const std::vector<SdkObject*> now = liveObjects;
    for (SdkObject* object : now) {
      object->AddRef();
      object->Fire(dispid, text && SysStringLen(text) ? text : nullptr);
      object->Release();
    }
    return S_OK;
  }
  STDMETHODIMP get_CallLog(BSTR* log) override {
    if (!log) return E_POINTER;
    const std::string text = ScannerChannel::Process().CallLogText();
    std::wstring wide(text.begin(), text.end());  // the log of these operations is ASCII
    *log = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return *log ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP get_LiveObjects(LONG* count) override {
    if (!count) return E_POINTER;
    *count = static_cast<LONG>(liveObjects.size());
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    ScannerChannel::Process().Reset();
    return S_OK;
  }
};

Channel channel;

}  // namespace

HRESULT Register(HRESULT creation) {
  Revoke();
  factory.creation = creation;
  return CoRegisterClassObject(fingerprint::kSdkClass, &factory, CLSCTX_INPROC_SERVER,
                               REGCLS_MULTIPLEUSE, &registration);
}

void Revoke() {
  if (registration) CoRevokeClassObject(registration);
  registration = 0;
}

ComPtr<IFingerSdkScanner> Scanner() { return ComPtr<IFingerSdkScanner>(&channel); }

void FireImage(VARIANT* raw, LONG width, LONG height, LONG extra) {
  const std::vector<SdkObject*> now = liveObjects;
  for (SdkObject* object : now) {
    object->AddRef();
    object->FireImage(raw, width, height, extra);
    object->Release();
  }
}

}  // namespace stand_in_sdk
