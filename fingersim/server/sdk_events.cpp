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

HRESULT TakeAdviseFailure() { return ScannerChannel::Process().TakeFailure(Operation::Advise); }

void FireDeviceEvent(activex::ConnectionPoint& point, DISPID dispid, BSTR deviceId) {
  point.ForEachSink([&](IDispatch* sink) {
    VARIANT args[1];
    args[0].vt = VT_BSTR;
    args[0].bstrVal = deviceId;
    Invoke(sink, dispid, args, 1);
  });
}

void FireImageEvent(activex::ConnectionPoint& point, BSTR deviceId, LONG width, LONG height,
                    const std::uint8_t* bytes, std::size_t count, LONG resolution) {
  point.ForEachSink([&](IDispatch* sink) {
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

}  // namespace fingersim
