#include "sdk_events.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

#include "channel.h"
#include "enumerator.h"
#include "fingersdk.h"
#include "safe_array.h"

namespace fingersim {

namespace {

// The event images of events in progress, on any thread, nested ones included.
std::mutex eventImagesLock;
std::vector<EventImage*>& EventImages() {
  static std::vector<EventImage*> images;
  return images;
}

struct StoredConnection {
  activex::ComPtr<IUnknown> sink;
  DWORD cookie;
  CONNECTDATA Out() const {
    sink->AddRef();
    return {sink.get(), cookie};
  }
};

// The stored pointer is the sink's event-interface pointer, and the event interface is a
// dispatch interface: its table is IDispatch's.
IDispatch* AsDispatch(IUnknown* eventInterface) { return static_cast<IDispatch*>(static_cast<void*>(eventInterface)); }

void Invoke(IDispatch* sink, DISPID dispid, VARIANT* reversedArgs, UINT count) {
  DISPPARAMS params = {reversedArgs, nullptr, count, 0};
  // A sink's failure is its own: the source goes on with the next sink.
  sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

}  // namespace

EventImage::EventImage() { VariantInit(&value_); }

EventImage::~EventImage() {
  {
    std::lock_guard<std::mutex> hold(eventImagesLock);
    auto& images = EventImages();
    images.erase(std::remove(images.begin(), images.end(), this), images.end());
    if (counted_) ScannerChannel::Process().ObjectReleased(LiveKind::imageArray);
  }
  VariantClear(&value_);
}

HRESULT EventImage::Fill(const std::uint8_t* bytes, std::size_t count) {
  static_assert(sizeof(std::size_t) <= sizeof(ULONG), "an array's element count is a ULONG");
  if (value_.vt != VT_EMPTY) return E_UNEXPECTED;
  activex::ByteSafeArray array;
  if (HRESULT hr = array.Create(static_cast<ULONG>(count)); FAILED(hr)) return hr;
  if (count) {
    activex::SafeArrayData data(array.get());
    if (FAILED(data.status())) return data.status();
    std::memcpy(data.bytes(), bytes, count);
  }
  std::lock_guard<std::mutex> hold(eventImagesLock);
  try {
    EventImages().push_back(this);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  array_ = array.Detach();
  value_.vt = VT_ARRAY | VT_UI1;
  value_.parray = array_;
  counted_ = true;
  ScannerChannel::Process().ObjectCreated(LiveKind::imageArray);
  return S_OK;
}

bool EventImage::HoldsItsArray() const { return value_.vt == (VT_ARRAY | VT_UI1) && value_.parray == array_; }

void EventImage::ForgetCleared() {
  std::lock_guard<std::mutex> hold(eventImagesLock);
  for (EventImage* image : EventImages()) {
    if (image->counted_ && !image->HoldsItsArray()) {
      image->counted_ = false;
      ScannerChannel::Process().ObjectReleased(LiveKind::imageArray);
    }
  }
}

SdkEventPoint::SdkEventPoint(IConnectionPointContainer* container) : container_(container) {}

STDMETHODIMP SdkEventPoint::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (InlineIsEqualGUID(iid, IID_IUnknown) || InlineIsEqualGUID(iid, IID_IConnectionPoint)) {
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) SdkEventPoint::AddRef() { return container_->AddRef(); }
STDMETHODIMP_(ULONG) SdkEventPoint::Release() { return container_->Release(); }

STDMETHODIMP SdkEventPoint::GetConnectionInterface(IID* out) {
  if (!out) return E_POINTER;
  *out = DIID__IFingerSdkEvents;
  return S_OK;
}

STDMETHODIMP SdkEventPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  if (!out) return E_POINTER;
  container_->AddRef();
  *out = container_;
  return S_OK;
}

STDMETHODIMP SdkEventPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (const std::int32_t failure = ScannerChannel::Process().TakeFailure(Operation::Advise)) return failure;
  if (!sink) return E_POINTER;
  activex::ComPtr<IUnknown> events;
  if (FAILED(sink->QueryInterface(DIID__IFingerSdkEvents, events.put_void()))) return CONNECT_E_CANNOTCONNECT;
  try {
    std::size_t slot = 0;
    while (slot < sinks_.size() && sinks_[slot]) ++slot;
    if (slot == sinks_.size()) sinks_.emplace_back();
    sinks_[slot] = std::move(events);
    *cookie = static_cast<DWORD>(slot + 1);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

STDMETHODIMP SdkEventPoint::Unadvise(DWORD cookie) {
  if (cookie == 0 || cookie > sinks_.size() || !sinks_[cookie - 1]) return CONNECT_E_NOCONNECTION;
  // Moved out first: the sink's release may call back into this point.
  activex::ComPtr<IUnknown> gone = std::move(sinks_[cookie - 1]);
  return S_OK;
}

STDMETHODIMP SdkEventPoint::EnumConnections(IEnumConnections** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  try {
    std::vector<StoredConnection> items;
    for (std::size_t i = 0; i < sinks_.size(); ++i)
      if (sinks_[i]) items.push_back({sinks_[i], static_cast<DWORD>(i + 1)});
    return activex::MakeEnumerator<IEnumConnections, CONNECTDATA>(std::move(items), out);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

template <class Invoke>
void SdkEventPoint::ForEachSink(Invoke invoke) {
  for (std::size_t i = 0; i < sinks_.size(); ++i) {
    activex::ComPtr<IUnknown> sink = sinks_[i];  // held for the call: it may unadvise itself
    if (sink) invoke(AsDispatch(sink.get()));
  }
}

void SdkEventPoint::FireDeviceEvent(DISPID dispid, BSTR deviceId) {
  ForEachSink([&](IDispatch* sink) {
    VARIANT args[1];
    args[0].vt = VT_BSTR;
    args[0].bstrVal = deviceId;
    Invoke(sink, dispid, args, 1);
  });
}

void SdkEventPoint::FireImageEvent(BSTR deviceId, LONG width, LONG height, const std::uint8_t* bytes,
                                   std::size_t count, LONG resolution) {
  ForEachSink([&](IDispatch* sink) {
    EventImage image;
    if (FAILED(image.Fill(bytes, count))) return;  // no memory: this sink misses the image
    VARIANT args[5];
    for (VARIANT& a : args) VariantInit(&a);
    args[4].vt = VT_BSTR;
    args[4].bstrVal = deviceId;
    args[3].vt = VT_I4;
    args[3].lVal = width;
    args[2].vt = VT_I4;
    args[2].lVal = height;
    args[1].vt = VT_BYREF | VT_VARIANT;
    args[1].pvarVal = image.get();
    args[0].vt = VT_I4;
    args[0].lVal = resolution;
    Invoke(sink, 5, args, 5);
  });
}

std::size_t SdkEventPoint::ConnectionCount() const {
  return static_cast<std::size_t>(std::count_if(sinks_.begin(), sinks_.end(), [](const auto& s) { return bool(s); }));
}

}  // namespace fingersim
