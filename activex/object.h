// COM object machinery: the interface map a class declares, its reference count and its
// QueryInterface, and the two ways an object is created (alone, or aggregated in an outer one).
//
// A class declares its interfaces as a table, in the order QueryInterface answers them:
//
//   class CThing : public activex::ObjectRoot<CThing>, public IThing, public IOther {
//    public:
//     static const activex::InterfaceEntry* InterfaceMap() {
//       static const activex::InterfaceEntry map[] = {
//           activex::Entry<CThing, IThing>(),
//           activex::Entry<CThing, IDispatch, IThing>(),   // IDispatch reached through IThing
//           activex::Entry<CThing, IOther>(),
//           {}};
//       return map;
//     }
//   };
//
// and is created with activex::CreateInstance<CThing>(outer, iid, out). The class's own
// IUnknown methods are supplied by ComObject<T> (alone) or by the aggregation wrappers.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstddef>
#include <new>

#include "module_lock.h"

namespace activex {

struct InterfaceEntry {
  const IID* iid;
  std::ptrdiff_t offset;  // from the object's start to the interface's table pointer
};

// One row of an interface map: interface I of class T, reached through base Via when I is an
// ambiguous base (IDispatch through the dual interface, IOleWindow through IOleInPlaceObject).
template <class T, class I, class Via = I>
InterfaceEntry Entry() {
  constexpr std::ptrdiff_t kBase = 0x1000;
  T* object = reinterpret_cast<T*>(kBase);
  I* itf = static_cast<I*>(static_cast<Via*>(object));
  return {&__uuidof(I), reinterpret_cast<std::ptrdiff_t>(itf) - kBase};
}

// Walks a map: a new reference through the first entry for IID_IUnknown, through the matching
// entry otherwise; E_NOINTERFACE with *out null when none matches.
inline HRESULT QueryInterfaceFromMap(void* object, const InterfaceEntry* map, REFIID iid,
                                     void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (const InterfaceEntry* e = map; e->iid; ++e) {
    if (iid == IID_IUnknown || InlineIsEqualGUID(iid, *e->iid)) {
      IUnknown* p = reinterpret_cast<IUnknown*>(static_cast<char*>(object) + e->offset);
      p->AddRef();
      *out = p;
      return S_OK;
    }
  }
  return E_NOINTERFACE;
}

// Base of every COM class: the plain reference count (objects live in one apartment), the
// outer unknown when aggregated, and the creation and destruction hooks.
template <class T>
class ObjectRoot {
 public:
  // Runs after construction; a negative result destroys the object and fails the creation.
  HRESULT FinalConstruct() { return S_OK; }
  // Runs just before destruction, after the last reference went.
  void FinalRelease() {}

  // The identity of the object: the outer unknown when aggregated, else its own IUnknown.
  // Not AddRef'ed.
  IUnknown* ControllingUnknown() {
    if (outer_) return outer_;
    return reinterpret_cast<IUnknown*>(reinterpret_cast<char*>(static_cast<T*>(this)) +
                                       T::InterfaceMap()[0].offset);
  }

  HRESULT InternalQueryInterface(REFIID iid, void** out) {
    return QueryInterfaceFromMap(static_cast<T*>(this), T::InterfaceMap(), iid, out);
  }
  ULONG InternalAddRef() { return ++refs_; }
  ULONG InternalRelease() { return --refs_; }

  void SetOuterUnknown(IUnknown* outer) { outer_ = outer; }

 protected:
  ObjectRoot() = default;
  ~ObjectRoot() = default;

 private:
  ULONG refs_ = 0;
  IUnknown* outer_ = nullptr;
};

// An object created alone: its IUnknown methods, for every interface it has, are these.
// The module stays loaded while the object lives.
template <class T>
class ComObject final : public T {
 public:
  ComObject() { LockModule(); }
  ~ComObject() { UnlockModule(); }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    return this->InternalQueryInterface(iid, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return this->InternalAddRef(); }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = this->InternalRelease();
    if (left == 0) {
      this->InternalAddRef();  // guard against re-entry while the object winds down
      this->FinalRelease();
      delete this;
    }
    return left;
  }
};

// The inner part of an aggregated object: every IUnknown call of its interfaces goes to the
// outer object, as aggregation requires.
template <class T>
class ContainedObject final : public T {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    return this->ControllingUnknown()->QueryInterface(iid, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return this->ControllingUnknown()->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return this->ControllingUnknown()->Release(); }
};

// An aggregated object: the non-delegating IUnknown handed to the outer object, owning the
// inner object that answers the class's interfaces.
template <class T>
class AggregatedObject final : public IUnknown {
 public:
  explicit AggregatedObject(IUnknown* outer) {
    LockModule();
    inner_.SetOuterUnknown(outer);
  }
  ~AggregatedObject() { UnlockModule(); }

  ContainedObject<T>& inner() { return inner_; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (InlineIsEqualGUID(iid, IID_IUnknown)) {
      *out = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return inner_.InternalQueryInterface(iid, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) {
      ++refs_;
      inner_.FinalRelease();
      delete this;
    }
    return left;
  }

 private:
  ULONG refs_ = 0;
  ContainedObject<T> inner_;
};

// Creates an object of class T alone (outer null) or aggregated (outer set; then only
// IID_IUnknown may be asked for). FinalConstruct runs with the object held, so that what it
// does cannot destroy it; a negative result destroys the object and is the result.
template <class T>
HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer && !InlineIsEqualGUID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;

  IUnknown* made = nullptr;
  HRESULT hr;
  if (outer) {
    auto* object = new (std::nothrow) AggregatedObject<T>(outer);
    if (!object) return E_OUTOFMEMORY;
    object->AddRef();
    hr = object->inner().FinalConstruct();
    made = object;
  } else {
    auto* object = new (std::nothrow) ComObject<T>;
    if (!object) return E_OUTOFMEMORY;
    object->InternalAddRef();
    hr = object->FinalConstruct();
    made = object->ControllingUnknown();
  }
  if (hr < 0) {
    made->Release();
    return hr;
  }
  hr = made->QueryInterface(iid, out);
  made->Release();
  return hr;
}

// Same, for code that wants the class itself: a new object alone with one reference.
template <class T>
HRESULT CreateObject(ComObject<T>** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto* object = new (std::nothrow) ComObject<T>;
  if (!object) return E_OUTOFMEMORY;
  object->InternalAddRef();
  HRESULT hr = object->FinalConstruct();
  if (hr < 0) {
    object->Release();
    return hr;
  }
  *out = object;
  return S_OK;
}

}  // namespace activex
