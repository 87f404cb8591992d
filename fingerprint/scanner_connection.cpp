// The link between the control and the SDK control: creating and starting it with the control,
// the event connection, capture on a device (by host call or by SDK event), and taking the link
// down in Destroy.
//
// The capture flag m_capturing is independent of the link:
//   clear + Start       BeginCaptureOn(m_deviceId)     -> set
//   set   + Stop        EndCaptureOn(m_deviceId)       -> clear
//   any   + event 1     id stored, BeginCaptureOn(id)  -> set
//   set   + event 2     id stored, EndCaptureOn(id)    -> clear
//   Start while set, Stop or event 2 while clear, and Destroy change nothing.
#include "my_control.h"

namespace fingerprint {

namespace {

constexpr wchar_t kStartupFailureText[] = L"Failed to Initialized FingerPrint ActiveX";
constexpr wchar_t kStartupFailureCaption[] = L"Error";

}  // namespace

void CMyControl::ShowStartupFailure() {
  HWND owner = Hwnd();
  if (!owner && InPlaceSite()) {
    // A site that cannot name its window leaves the message without an owner.
    if (FAILED(InPlaceSite()->GetWindow(&owner))) owner = nullptr;
  }
  // The only button is OK: the answer is not looked at.
  MessageBoxW(owner, kStartupFailureText, kStartupFailureCaption, MB_OK | MB_ICONERROR);
}

HRESULT CMyControl::FinalConstruct() {
  HRESULT hr = CoCreateInstance(kSdkClass, nullptr, CLSCTX_INPROC_SERVER, kSdkInterface,
                                m_sdk.put_void());
  if (FAILED(hr)) {
    m_sdk = nullptr;
    return hr;  // no SDK, no message
  }

  hr = m_sdkEvents.Advise(m_sdk.get());
  if (FAILED(hr)) {
    ShowStartupFailure();
    return hr;
  }
  ++m_adviseCount;

  LONG status = 0;
  hr = m_sdk->StartupStage1(&status);
  if (FAILED(hr)) return hr;
  if (status < 0) {
    // One retry: both stages shut down, then the first stage again.
    LONG ignored = 0;
    hr = m_sdk->ShutdownStage2(&ignored);
    if (FAILED(hr)) return hr;
    m_sdk->ShutdownStage1(&ignored);  // a failure here does not stop the retry
    LONG again = 0;
    // A failed second attempt leaves the first attempt's status in force.
    if (SUCCEEDED(m_sdk->StartupStage1(&again))) status = again;
    if (status < 0) {
      ShowStartupFailure();
      return status;  // the SDK's own number is the creation's result
    }
  }

  LONG result = 0;
  hr = m_sdk->StartupStage2(&result);
  if (FAILED(hr)) return hr;
  if (result < 0) ShowStartupFailure();
  return result;
}

STDMETHODIMP CMyControl::Start() {
  if (m_capturing) return S_OK;
  if (!m_sdk) return E_POINTER;
  LONG ignored = 0;
  HRESULT hr = m_sdk->BeginCaptureOn(m_deviceId.get(), &ignored);
  if (FAILED(hr)) return hr;
  m_capturing = true;
  return S_OK;
}

STDMETHODIMP CMyControl::Stop() {
  if (!m_capturing) return S_OK;
  if (!m_sdk) return E_POINTER;
  LONG ignored = 0;
  HRESULT hr = m_sdk->EndCaptureOn(m_deviceId.get(), &ignored);
  if (FAILED(hr)) return hr;
  m_capturing = false;
  return S_OK;
}

void CMyControl::OnSdkEvent1(BSTR deviceId) {
  m_capturing = true;  // first, whatever follows
  if (FAILED(m_deviceId.CopyFrom(deviceId))) return;  // the previous identifier stays
  if (!m_sdk) return;
  LONG ignored = 0;
  m_sdk->BeginCaptureOn(deviceId, &ignored);  // nothing follows that a failure could stop
}

void CMyControl::OnSdkEvent2(BSTR deviceId) {
  if (!m_capturing) return;
  if (FAILED(m_deviceId.CopyFrom(deviceId))) return;
  if (!m_sdk) return;
  LONG ignored = 0;
  if (FAILED(m_sdk->EndCaptureOn(deviceId, &ignored))) return;  // still capturing
  m_capturing = false;
}

void CMyControl::IgnoreSdkEvent(BSTR) {}

STDMETHODIMP CMyControl::Destroy() {
  if (m_adviseCount > 0) {
    // Disconnecting is best effort: the cookie is forgotten whatever the SDK answers.
    m_sdkEvents.Unadvise(m_sdk.get());
    --m_adviseCount;
  }
  if (!m_sdk) return E_POINTER;
  LONG ignored = 0;
  HRESULT hr = m_sdk->ShutdownStage1(&ignored);
  if (FAILED(hr)) return hr;
  hr = m_sdk->ShutdownStage2(&ignored);
  if (FAILED(hr)) return hr;
  m_picture = nullptr;
  m_template.Reset();
  m_deviceId.Reset();
  // The control's own copy, never locked: clearing it cannot fail.
  if (!m_rawImage.empty()) m_rawImage.Clear();
  m_sdk = nullptr;
  return S_OK;
}

}  // namespace fingerprint
