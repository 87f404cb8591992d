#include "sdk_object.h"

#include <new>
#include <optional>
#include <vector>

#include "bstr.h"
#include "channel.h"
#include "com_ptr.h"
#include "enumerator.h"
#include "impression.h"
#include "picture.h"
#include "raw_image.h"
#include "sdk_answers.h"
#include "text.h"

namespace fingersim {

namespace {

constexpr UINT kNameDeviceMessage = WM_APP + 1;

ScannerChannel& Channel() { return ScannerChannel::Process(); }

LogArg TextArg(BSTR text) {
  if (!text) return LogArg::Null();
  return LogArg::Text(std::string_view(Utf8(text)));
}

// A call whose only out-value is a status (or result): the scripted one, else `normal`.
HRESULT StatusCall(Operation operation, std::initializer_list<LogArg> args, LONG* out, LONG normal = 0) {
  const ScannerChannel::Call call = Channel().Enter(operation, args);
  if (call.failed()) return call.failure;
  if (!out) return E_POINTER;
  *out = call.scripted ? call.scripted->value : normal;
  return S_OK;
}

// What a picture shows when the caller's bytes do not hold the image but the script says the
// conversion succeeded: a white image of the size asked for (1 x 1 when that size is no size).
GreyImage PictureImage(const RawImageRef& raw) {
  if (raw.bytes && FitsRawImage(raw.count, raw.width, raw.height)) {
    return ImageFromRaw(raw.bytes, raw.count, raw.width, raw.height);
  }
  const bool sized = raw.width >= 1 && raw.height >= 1 && raw.width <= kMaxImageSide && raw.height <= kMaxImageSide;
  return sized ? GreyImage(raw.width, raw.height, 255) : GreyImage(1, 1, 255);
}

// The in/out template array: a one-dimensional byte array, or none (nothing is written then).
HRESULT CheckTemplateArray(SAFEARRAY** templateBytes) {
  if (!templateBytes) return E_POINTER;
  if (*templateBytes && !activex::IsByteVector(*templateBytes)) return E_INVALIDARG;
  return S_OK;
}

}  // namespace

const activex::InterfaceEntry* FingerSdkObject::InterfaceMap() {
  static const activex::InterfaceEntry map[] = {
      activex::Entry<FingerSdkObject, IFingerSdk>(),
      activex::Entry<FingerSdkObject, IDispatch, IFingerSdk>(),
      activex::Entry<FingerSdkObject, IConnectionPointContainer>(),
      activex::Entry<FingerSdkObject, IProvideClassInfo, IProvideClassInfo2>(),
      activex::Entry<FingerSdkObject, IProvideClassInfo2>(),
      {}};
  return map;
}

LiveRegistry<FingerSdkObject>& FingerSdkObject::Live() {
  static LiveRegistry<FingerSdkObject> registry;
  return registry;
}

FingerSdkObject::FingerSdkObject() { Channel().ObjectCreated(LiveKind::sdkObject); }
FingerSdkObject::~FingerSdkObject() { Channel().ObjectReleased(LiveKind::sdkObject); }

HRESULT FingerSdkObject::FinalConstruct() {
  try {
    Live().Add(this);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  registered_ = true;
  // Without its window the object still works; it only cannot name its device by itself.
  notices_.Create(HWND_MESSAGE, RECT{0, 0, 0, 0}, 0, 0, &FingerSdkObject::OnWindowMessage, this);
  return S_OK;
}

void FingerSdkObject::FinalRelease() {
  releasing_ = true;
  if (registered_) Live().Remove(this);
  registered_ = false;
  notices_.Destroy();
}

bool FingerSdkObject::Retain() {
  if (releasing_) return false;
  ControllingUnknown()->AddRef();
  return true;
}

void FingerSdkObject::FireDeviceEvent(DISPID dispid, BSTR deviceId) {
  activex::ComPtr<IUnknown> hold(ControllingUnknown());  // a sink may let the object go
  fingersim::FireDeviceEvent(events_, dispid, deviceId);
}

void FingerSdkObject::FireImageEvent(LONG width, LONG height, const std::uint8_t* bytes, std::size_t count,
                                     LONG resolution) {
  activex::ComPtr<IUnknown> hold(ControllingUnknown());
  const std::wstring device(kScannerDeviceId.begin(), kScannerDeviceId.end());
  activex::Bstr deviceId(device.c_str());
  fingersim::FireImageEvent(events_, deviceId.get(), width, height, bytes, count, resolution);
}

bool FingerSdkObject::OnWindowMessage(void* owner, HWND, UINT message, WPARAM, LPARAM, LRESULT& result) {
  if (message != kNameDeviceMessage) return false;
  static_cast<FingerSdkObject*>(owner)->NameDevice();
  result = 0;
  return true;
}

void FingerSdkObject::NameDevice() {
  const std::wstring device(kScannerDeviceId.begin(), kScannerDeviceId.end());
  activex::Bstr deviceId(device.c_str());
  FireDeviceEvent(1, deviceId.get());
}

STDMETHODIMP FingerSdkObject::StartupStage1(LONG* status) {
  HRESULT hr = StatusCall(Operation::StartupStage1, {}, status);
  firstStageUp_ = SUCCEEDED(hr) && *status >= 0;
  return hr;
}

STDMETHODIMP FingerSdkObject::ShutdownStage1(LONG* status) {
  firstStageUp_ = false;
  return StatusCall(Operation::ShutdownStage1, {}, status);
}

STDMETHODIMP FingerSdkObject::StartupStage2(LONG* status) {
  HRESULT hr = StatusCall(Operation::StartupStage2, {}, status);
  if (SUCCEEDED(hr) && *status >= 0 && firstStageUp_ && notices_) {
    PostMessageW(notices_.get(), kNameDeviceMessage, 0, 0);
  }
  return hr;
}

STDMETHODIMP FingerSdkObject::ShutdownStage2(LONG* status) {
  firstStageUp_ = false;
  return StatusCall(Operation::ShutdownStage2, {}, status);
}

STDMETHODIMP FingerSdkObject::BeginCaptureOn(BSTR deviceId, LONG* result) {
  return StatusCall(Operation::BeginCaptureOn, {TextArg(deviceId)}, result);
}

STDMETHODIMP FingerSdkObject::EndCaptureOn(BSTR deviceId, LONG* result) {
  return StatusCall(Operation::EndCaptureOn, {TextArg(deviceId)}, result);
}

STDMETHODIMP FingerSdkObject::RawImageToPicture(VARIANT* rawImage, LONG width, LONG height, LONG flags,
                                                IDispatch** picture, LONG* code) {
  const ScannerChannel::Call call = Channel().Enter(
      Operation::RawImageToPicture,
      {ImageArg(rawImage), LogArg::Number(width), LogArg::Number(height), LogArg::Number(flags)});
  if (call.failed()) return call.failure;
  if (!picture || !code) return E_POINTER;
  *picture = nullptr;
  *code = 0;

  const RawImageAccess access(rawImage);
  const RawImageRef raw = access.Ref(width, height, kDefaultResolution);
  const std::int32_t answer = AnswerPicture(raw, call.scripted);
  if (answer == 0) {
    try {
      HRESULT hr = GreyPicture::Create(PictureImage(raw), kDefaultResolution, !Channel().PictureWithoutIPicture(),
                                       picture);
      if (FAILED(hr)) return hr;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }
  *code = answer;
  return S_OK;
}

STDMETHODIMP FingerSdkObject::ExtractTemplateFromImage(VARIANT* rawImage, LONG width, LONG height, LONG resolution,
                                                       SAFEARRAY** templateBytes, LONG* size, LONG flags,
                                                       LONG* result) {
  const ScannerChannel::Call call = Channel().Enter(
      Operation::ExtractTemplateFromImage,
      {ImageArg(rawImage), LogArg::Number(width), LogArg::Number(height), LogArg::Number(resolution),
       ArrayArg(templateBytes), NumberArg(size), LogArg::Number(flags)});
  if (call.failed()) return call.failure;
  if (!size || !result) return E_POINTER;
  if (HRESULT hr = CheckTemplateArray(templateBytes); FAILED(hr)) return hr;

  try {
    const RawImageAccess access(rawImage);
    const TemplateAnswer answer = AnswerExtraction(access.Ref(width, height, resolution), *size, call.scripted);
    if (HRESULT hr = WriteToArray(*templateBytes, answer.bytes); FAILED(hr)) return hr;
    *size = answer.size;
    *result = answer.value;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

STDMETHODIMP FingerSdkObject::BeginEnrollment(LONG flags, LONG* status) {
  HRESULT hr = StatusCall(Operation::BeginEnrollment, {LogArg::Number(flags)}, status);
  if (SUCCEEDED(hr)) enrollment_.Begin();
  return hr;
}

STDMETHODIMP FingerSdkObject::EnrollFromImage(VARIANT* rawImage, LONG width, LONG height, LONG resolution,
                                              SAFEARRAY** templateBytes, LONG* size, LONG* mode, LONG flags1,
                                              LONG flags2, LONG* status) {
  const ScannerChannel::Call call = Channel().Enter(
      Operation::EnrollFromImage,
      {ImageArg(rawImage), LogArg::Number(width), LogArg::Number(height), LogArg::Number(resolution),
       ArrayArg(templateBytes), NumberArg(size), NumberArg(mode), LogArg::Number(flags1), LogArg::Number(flags2)});
  if (call.failed()) return call.failure;
  if (!size || !mode || !status) return E_POINTER;
  if (HRESULT hr = CheckTemplateArray(templateBytes); FAILED(hr)) return hr;

  try {
    const RawImageAccess access(rawImage);
    const TemplateAnswer answer =
        AnswerEnrollment(enrollment_, access.Ref(width, height, resolution), *size, call.scripted);
    if (HRESULT hr = WriteToArray(*templateBytes, answer.bytes); FAILED(hr)) return hr;
    *size = answer.size;
    *status = answer.value;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace fingersim
