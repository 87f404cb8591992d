// The property map: the list of a control's persisted properties, in the order they are saved.
// A control declares it like its interface map:
//
//   static const activex::PropertyEntry<CThing>* PropertyMap() {
//     static const activex::PropertyEntry<CThing> map[] = {
//         activex::ExtentWidthProperty<CThing>(),                  // "_cx"
//         activex::ExtentHeightProperty<CThing>(),                 // "_cy"
//         activex::TextProperty<CThing>(L"Caption", &CThing::get_Caption, &CThing::put_Caption),
//         activex::CustomProperty<CThing>(L"Count", &CThing::SaveCount, &CThing::LoadCount),
//         {}};
//     return map;
//   }
//
// Saved stream: a 32-bit format number (kPropertyStreamFormat), then each entry in map order:
//   extent width/height  the HIMETRIC size as an unsigned 32-bit value (VT_UI4);
//   text                 the value the get accessor returns, as VT_BSTR (null stays null); on
//                        load it is handed to the put accessor;
//   custom               whatever the control's save callback writes, read back by its load
//                        callback; the value layouts of stream_value.h are there for it.
// Loading reads the entries in the same order, so a stream loads only into the map that wrote it.
#pragma once

#include <windows.h>
#include <objidl.h>

#include "bstr.h"
#include "com_ptr.h"
#include "stream_value.h"

namespace activex {

constexpr ULONG kPropertyStreamFormat = 1;

enum class PropertyKind { kNone, kExtentWidth, kExtentHeight, kText, kCustom };

template <class T>
struct PropertyEntry {
  const wchar_t* name = nullptr;  // null ends the map
  PropertyKind kind = PropertyKind::kNone;
  HRESULT (STDMETHODCALLTYPE T::*getText)(BSTR*) = nullptr;
  HRESULT (STDMETHODCALLTYPE T::*putText)(BSTR) = nullptr;
  HRESULT (T::*save)(IStream*) = nullptr;
  HRESULT (T::*load)(IStream*) = nullptr;
};

template <class T>
PropertyEntry<T> ExtentWidthProperty() {
  PropertyEntry<T> e;
  e.name = L"_cx";
  e.kind = PropertyKind::kExtentWidth;
  return e;
}

template <class T>
PropertyEntry<T> ExtentHeightProperty() {
  PropertyEntry<T> e;
  e.name = L"_cy";
  e.kind = PropertyKind::kExtentHeight;
  return e;
}

// A BSTR property persisted through the control's own accessors.
template <class T>
PropertyEntry<T> TextProperty(const wchar_t* name, HRESULT (STDMETHODCALLTYPE T::*get)(BSTR*),
                              HRESULT (STDMETHODCALLTYPE T::*put)(BSTR)) {
  PropertyEntry<T> e;
  e.name = name;
  e.kind = PropertyKind::kText;
  e.getText = get;
  e.putText = put;
  return e;
}

// A property whose storage the control chooses: `save` writes it at its place in the stream and
// `load` reads exactly what `save` wrote.
template <class T>
PropertyEntry<T> CustomProperty(const wchar_t* name, HRESULT (T::*save)(IStream*),
                                HRESULT (T::*load)(IStream*)) {
  PropertyEntry<T> e;
  e.name = name;
  e.kind = PropertyKind::kCustom;
  e.save = save;
  e.load = load;
  return e;
}

// Writes the control's properties to the stream. The first failure stops it and is the result.
template <class T>
HRESULT SaveProperties(T& control, IStream* stream) {
  if (!stream) return E_POINTER;
  HRESULT hr = WriteStreamBytes(stream, &kPropertyStreamFormat, sizeof kPropertyStreamFormat);
  for (const PropertyEntry<T>* e = T::PropertyMap(); SUCCEEDED(hr) && e->name; ++e) {
    switch (e->kind) {
      case PropertyKind::kExtentWidth:
        hr = WriteUInt32Value(stream, static_cast<ULONG>(control.Extent().cx));
        break;
      case PropertyKind::kExtentHeight:
        hr = WriteUInt32Value(stream, static_cast<ULONG>(control.Extent().cy));
        break;
      case PropertyKind::kText: {
        Bstr text;
        hr = (control.*e->getText)(text.put());
        if (SUCCEEDED(hr)) hr = WriteTextValue(stream, text.get());
        break;
      }
      case PropertyKind::kCustom:
        hr = (control.*e->save)(stream);
        break;
      case PropertyKind::kNone:
        hr = E_UNEXPECTED;  // a map row without a kind is a programming error
        break;
    }
  }
  return hr;
}

// Reads what SaveProperties wrote and hands every value to the control. The first failure stops
// it and is the result; properties loaded before it keep their new values.
template <class T>
HRESULT LoadProperties(T& control, IStream* stream) {
  if (!stream) return E_POINTER;
  ULONG format = 0;
  HRESULT hr = ReadStreamBytes(stream, &format, sizeof format);
  if (SUCCEEDED(hr) && format != kPropertyStreamFormat) hr = E_FAIL;  // not our layout
  for (const PropertyEntry<T>* e = T::PropertyMap(); SUCCEEDED(hr) && e->name; ++e) {
    switch (e->kind) {
      case PropertyKind::kExtentWidth:
      case PropertyKind::kExtentHeight: {
        ULONG value = 0;
        hr = ReadUInt32Value(stream, &value);
        if (FAILED(hr)) break;
        SIZEL extent = control.Extent();
        (e->kind == PropertyKind::kExtentWidth ? extent.cx : extent.cy) = static_cast<LONG>(value);
        control.StoreExtent(extent);
        break;
      }
      case PropertyKind::kText: {
        Bstr text;
        hr = ReadTextValue(stream, &text);
        if (SUCCEEDED(hr)) hr = (control.*e->putText)(text.get());
        break;
      }
      case PropertyKind::kCustom:
        hr = (control.*e->load)(stream);
        break;
      case PropertyKind::kNone:
        hr = E_UNEXPECTED;
        break;
    }
  }
  return hr;
}

// The exact size SaveProperties would write now, measured by saving into memory.
template <class T>
HRESULT SavedPropertiesSize(T& control, ULARGE_INTEGER* size) {
  if (!size) return E_POINTER;
  IStream* raw = nullptr;
  HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &raw);
  if (FAILED(hr)) return hr;
  ComPtr<IStream> memory = ComPtr<IStream>::Adopt(raw);
  hr = SaveProperties(control, memory.get());
  if (FAILED(hr)) return hr;
  LARGE_INTEGER zero{};
  return memory->Seek(zero, STREAM_SEEK_CUR, size);
}

}  // namespace activex
