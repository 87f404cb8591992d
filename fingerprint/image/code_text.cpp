// The Base64 text the control hands to its host for image and template bytes.
#include "my_control.h"

#include "base64.h"
#include "safe_array.h"
#include "to_bstr.h"

namespace fingerprint {

HRESULT CMyControl::EncodeCodeText(SAFEARRAY* bytes, activex::Bstr& text) {
  {
    activex::SafeArrayData data(bytes);
    if (FAILED(data.status())) return data.status();
    const ULONG count = bytes->rgsabound[0].cElements;
    if (count > static_cast<ULONG>(kBase64MaxCount)) return E_FAIL;
    switch (EncodeBase64(data.bytes(), static_cast<std::int32_t>(count), m_codeText)) {
      case Base64Status::ok:
        break;
      case Base64Status::refused:
        return E_FAIL;
      case Base64Status::out_of_memory:
        return E_OUTOFMEMORY;
    }
  }
  return activex::ToBstr(m_codeText, text.put());
}

}  // namespace fingerprint
