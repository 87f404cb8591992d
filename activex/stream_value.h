// How single values are laid out in a control's saved stream. Every value starts with its
// VARTYPE (2 bytes), then:
//   VT_UI4, VT_I4  4 bytes;
//   VT_BSTR        a 32-bit byte count, 0xFFFFFFFF for a null BSTR, then that many bytes of
//                  UTF-16 text without a terminator.
// All numbers are little-endian; nothing is padded. Reading checks the tag: a value of another
// type at that place fails with E_FAIL, a stream that ends early with STG_E_READFAULT.
#pragma once

#include <windows.h>
#include <objidl.h>

#include "bstr.h"

namespace activex {

// Writes all `size` bytes (a short write is STG_E_MEDIUMFULL).
inline HRESULT WriteStreamBytes(IStream* stream, const void* data, ULONG size) {
  if (!stream) return E_POINTER;
  ULONG written = 0;
  HRESULT hr = stream->Write(data, size, &written);
  if (FAILED(hr)) return hr;
  return written == size ? S_OK : STG_E_MEDIUMFULL;
}

// Reads exactly `size` bytes (a short read is STG_E_READFAULT).
inline HRESULT ReadStreamBytes(IStream* stream, void* data, ULONG size) {
  if (!stream) return E_POINTER;
  ULONG read = 0;
  HRESULT hr = stream->Read(data, size, &read);
  if (FAILED(hr)) return hr;
  return read == size ? S_OK : STG_E_READFAULT;
}

namespace detail {

inline HRESULT WriteTag(IStream* stream, VARTYPE type) {
  return WriteStreamBytes(stream, &type, sizeof type);
}

inline HRESULT ExpectTag(IStream* stream, VARTYPE expected) {
  VARTYPE type = VT_EMPTY;
  HRESULT hr = ReadStreamBytes(stream, &type, sizeof type);
  if (FAILED(hr)) return hr;
  return type == expected ? S_OK : E_FAIL;  // not the value this place holds
}

template <class Number>
HRESULT WriteNumber(IStream* stream, VARTYPE type, Number value) {
  HRESULT hr = WriteTag(stream, type);
  if (FAILED(hr)) return hr;
  return WriteStreamBytes(stream, &value, sizeof value);
}

template <class Number>
HRESULT ReadNumber(IStream* stream, VARTYPE type, Number* value) {
  if (!value) return E_POINTER;
  HRESULT hr = ExpectTag(stream, type);
  if (FAILED(hr)) return hr;
  Number read{};
  hr = ReadStreamBytes(stream, &read, sizeof read);
  if (FAILED(hr)) return hr;
  *value = read;
  return S_OK;
}

constexpr ULONG kNullText = 0xFFFFFFFF;

}  // namespace detail

inline HRESULT WriteUInt32Value(IStream* stream, ULONG value) {
  return detail::WriteNumber(stream, VT_UI4, value);
}
inline HRESULT ReadUInt32Value(IStream* stream, ULONG* value) {
  return detail::ReadNumber(stream, VT_UI4, value);
}
inline HRESULT WriteInt32Value(IStream* stream, LONG value) {
  return detail::WriteNumber(stream, VT_I4, value);
}
inline HRESULT ReadInt32Value(IStream* stream, LONG* value) {
  return detail::ReadNumber(stream, VT_I4, value);
}

inline HRESULT WriteTextValue(IStream* stream, BSTR text) {
  HRESULT hr = detail::WriteTag(stream, VT_BSTR);
  if (FAILED(hr)) return hr;
  const ULONG bytes = text ? SysStringByteLen(text) : detail::kNullText;
  hr = WriteStreamBytes(stream, &bytes, sizeof bytes);
  if (FAILED(hr) || !text) return hr;
  return WriteStreamBytes(stream, text, bytes);
}

// On success `text` holds the value read (null for a saved null BSTR); otherwise it is unchanged.
inline HRESULT ReadTextValue(IStream* stream, Bstr* text) {
  if (!text) return E_POINTER;
  HRESULT hr = detail::ExpectTag(stream, VT_BSTR);
  if (FAILED(hr)) return hr;
  ULONG bytes = 0;
  hr = ReadStreamBytes(stream, &bytes, sizeof bytes);
  if (FAILED(hr)) return hr;
  if (bytes == detail::kNullText) {
    text->Reset();
    return S_OK;
  }
  if (bytes % sizeof(OLECHAR) != 0) return E_FAIL;  // not UTF-16 text
  Bstr read = Bstr::Adopt(SysAllocStringLen(nullptr, bytes / sizeof(OLECHAR)));
  if (!read) return E_OUTOFMEMORY;
  hr = ReadStreamBytes(stream, read.get(), bytes);
  if (FAILED(hr)) return hr;
  *text = std::move(read);
  return S_OK;
}

}  // namespace activex
