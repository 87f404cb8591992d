// Receiving another object's events: an IDispatch sink, embedded in the receiving object,
// that advises on the source's connection point for one dispatch event interface and turns
// each incoming Invoke into a call of a member function, chosen by DISPID from a fixed table.
// The table describes every parameter explicitly, so the source's type library is never
// consulted:
//
//   class CThing : ... {
//     void OnNamed(BSTR name);
//     void OnImage(BSTR text, long a, long b, VARIANT* image, long c);
//     static const activex::SinkEntry<CThing> kSinkMap[];
//     activex::EventSink<CThing> sink_{this, DIID__ISourceEvents, kSinkMap};
//     HRESULT Connect(IUnknown* source) { return sink_.Advise(source); }
//   };
//   const activex::SinkEntry<CThing> CThing::kSinkMap[] = {
//       activex::SinkHandler<&CThing::OnNamed, VT_BSTR>(1),
//       activex::SinkHandler<&CThing::OnImage, VT_BSTR, VT_I4, VT_I4, VT_BYREF | VT_VARIANT,
//                            VT_I4>(5),
//       {}};  // ends the table
//
// Handlers are member functions returning nothing (__stdcall ones too). The VARTYPE list must
// match the handler's parameters (checked at compile time). Arguments arrive reversed in
// DISPPARAMS; each is converted to its described type (VariantChangeType when it differs);
// VT_BYREF | VT_VARIANT passes the caller's VARIANT itself (the one it refers to when the
// caller passed a reference), so the handler may change it; other by-reference types must
// arrive exactly as described.
//
// Invoke answers S_OK for DISPIDs not in the table and never lets anything of a handler travel
// back into the source's dispatch: handlers return nothing and an exception thrown by one
// stops there. Only a call that breaks the dispatch protocol (wrong argument count, named
// arguments, an argument that cannot be converted, an interface other than IID_NULL) gets the
// matching DISP_E_ error, and then no handler runs.
//
// Lifetime: the sink's AddRef and Release do not count on the receiving object. The source
// holds the sink, and the receiver usually holds the source, so counting would make a cycle
// that keeps both alive forever. The price is that the receiver must Unadvise before it goes
// (or release the source first so that nothing can fire into a dead sink).
//
// The cookie is 0xFEFEFEFE whenever the sink is not connected; Unadvise resets it whatever
// the source answers.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "com_ptr.h"
#include "variant.h"

namespace activex {

// The C++ parameter type of each describable VARTYPE and how a converted argument yields it.
template <VARTYPE vt>
struct SinkParam;
template <> struct SinkParam<VT_BSTR> { using type = BSTR; static BSTR Get(const VARIANT& v) { return v.bstrVal; } };
template <> struct SinkParam<VT_I4> { using type = LONG; static LONG Get(const VARIANT& v) { return v.lVal; } };
template <> struct SinkParam<VT_I2> { using type = SHORT; static SHORT Get(const VARIANT& v) { return v.iVal; } };
template <> struct SinkParam<VT_UI4> { using type = ULONG; static ULONG Get(const VARIANT& v) { return v.ulVal; } };
template <> struct SinkParam<VT_BOOL> { using type = VARIANT_BOOL; static VARIANT_BOOL Get(const VARIANT& v) { return v.boolVal; } };
template <> struct SinkParam<VT_R8> { using type = double; static double Get(const VARIANT& v) { return v.dblVal; } };
template <> struct SinkParam<VT_DISPATCH> { using type = IDispatch*; static IDispatch* Get(const VARIANT& v) { return v.pdispVal; } };
template <> struct SinkParam<VT_UNKNOWN> { using type = IUnknown*; static IUnknown* Get(const VARIANT& v) { return v.punkVal; } };
template <> struct SinkParam<VT_BYREF | VT_VARIANT> { using type = VARIANT*; static VARIANT* Get(const VARIANT& v) { return v.pvarVal; } };
template <> struct SinkParam<VT_BYREF | VT_I4> { using type = LONG*; static LONG* Get(const VARIANT& v) { return v.plVal; } };
template <> struct SinkParam<VT_BYREF | VT_BSTR> { using type = BSTR*; static BSTR* Get(const VARIANT& v) { return v.pbstrVal; } };

// One row of a sink table. Made by SinkHandler; an all-zero row ends the table.
template <class T>
struct SinkEntry {
  DISPID dispid = 0;
  const VARTYPE* params = nullptr;  // the parameters' types, in the handler's order
  UINT count = 0;
  void (*call)(T& object, const VARIANT* args) = nullptr;  // args converted, in call order
};

namespace detail {
template <class M>
struct SinkMethod;
template <class T, class... Args>
struct SinkMethod<void (T::*)(Args...)> {
  using Object = T;
  static constexpr std::size_t kCount = sizeof...(Args);
  template <VARTYPE... Types>
  static constexpr bool Matches() {
    return (std::is_same_v<typename SinkParam<Types>::type, Args> && ...);
  }
};

#if defined(_M_IX86) || defined(__i386__)
// Handlers may also be declared __stdcall, as event handlers often are on 32-bit x86.
template <class T, class... Args>
struct SinkMethod<void (__stdcall T::*)(Args...)> : SinkMethod<void (T::*)(Args...)> {};
#endif

template <auto Method, VARTYPE... Types, std::size_t... I>
void CallSinkHandler(typename SinkMethod<decltype(Method)>::Object& object, const VARIANT* args,
                     std::index_sequence<I...>) {
  (object.*Method)(SinkParam<Types>::Get(args[I])...);
}
template <auto Method, VARTYPE... Types>
void CallSinkHandler(typename SinkMethod<decltype(Method)>::Object& object, const VARIANT* args) {
  CallSinkHandler<Method, Types...>(object, args, std::index_sequence_for<SinkParam<Types>...>{});
}

template <VARTYPE... Types>
struct SinkParamList {
  static constexpr VARTYPE kTypes[sizeof...(Types) + 1] = {Types..., VT_EMPTY};
};
}  // namespace detail

// The row for handler Method (a member function returning nothing) taking parameters of the
// listed VARTYPEs, for event `dispid`.
template <auto Method, VARTYPE... Types>
SinkEntry<typename detail::SinkMethod<decltype(Method)>::Object> SinkHandler(DISPID dispid) {
  using Info = detail::SinkMethod<decltype(Method)>;
  static_assert(sizeof...(Types) == Info::kCount, "one VARTYPE per handler parameter");
  static_assert(Info::template Matches<Types...>(),
                "the VARTYPE list does not match the handler's parameters");
  SinkEntry<typename Info::Object> e;
  e.dispid = dispid;
  e.params = detail::SinkParamList<Types...>::kTypes;
  e.count = sizeof...(Types);
  e.call = &detail::CallSinkHandler<Method, Types...>;
  return e;
}

template <class T>
class EventSink final : public IDispatch {
 public:
  static constexpr DWORD kNotConnected = 0xFEFEFEFE;

  // `table` ends with an all-zero row and lives as long as the sink (a static array).
  EventSink(T* owner, REFIID events, const SinkEntry<T>* table)
      : owner_(owner), events_(events), table_(table) {}
  EventSink(const EventSink&) = delete;
  EventSink& operator=(const EventSink&) = delete;

  // Connects to the source's connection point for the event interface. A sink serves one
  // connection: CONNECT_E_ADVISELIMIT while connected.
  HRESULT Advise(IUnknown* source) {
    if (!source) return E_POINTER;
    if (cookie_ != kNotConnected) return CONNECT_E_ADVISELIMIT;
    ComPtr<IConnectionPoint> point;
    if (HRESULT hr = FindPoint(source, point); FAILED(hr)) return hr;
    DWORD cookie = kNotConnected;
    if (HRESULT hr = point->Advise(static_cast<IDispatch*>(this), &cookie); FAILED(hr)) return hr;
    cookie_ = cookie;
    return S_OK;
  }

  // Disconnects with the kept cookie; the cookie is 0xFEFEFEFE afterwards in every case.
  HRESULT Unadvise(IUnknown* source) {
    const DWORD cookie = std::exchange(cookie_, kNotConnected);
    if (!source) return E_POINTER;
    ComPtr<IConnectionPoint> point;
    if (HRESULT hr = FindPoint(source, point); FAILED(hr)) return hr;
    return point->Unadvise(cookie);
  }

  DWORD cookie() const { return cookie_; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (InlineIsEqualGUID(iid, IID_IUnknown) || InlineIsEqualGUID(iid, IID_IDispatch) ||
        InlineIsEqualGUID(iid, events_)) {
      *out = static_cast<IDispatch*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Not counted: see the lifetime note above.
  STDMETHODIMP_(ULONG) AddRef() override { return 1; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

  STDMETHODIMP Invoke(DISPID dispid, REFIID iid, LCID, WORD, DISPPARAMS* params, VARIANT*,
                      EXCEPINFO*, UINT* argError) override {
    if (!InlineIsEqualGUID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    const SinkEntry<T>* entry = table_;
    while (entry->call && entry->dispid != dispid) ++entry;
    if (!entry->call) return S_OK;  // an event this object does not listen to

    const UINT given = params ? params->cArgs : 0;
    if (params && params->cNamedArgs) return DISP_E_NONAMEDARGS;
    if (given != entry->count) return DISP_E_BADPARAMCOUNT;
    try {
      std::vector<VARIANT> args(entry->count);  // views in call order; owned data in `converted`
      std::vector<Variant> converted(entry->count);
      for (UINT i = 0; i < entry->count; ++i) {
        const UINT position = given - 1 - i;  // DISPPARAMS hold the last argument first
        if (FAILED(Convert(params->rgvarg[position], entry->params[i], args[i], converted[i]))) {
          if (argError) *argError = position;
          return DISP_E_TYPEMISMATCH;
        }
      }
      entry->call(*owner_, args.data());
    } catch (...) {
      // Nothing of a handler may travel back into the source's dispatch.
    }
    return S_OK;
  }

 private:
  HRESULT FindPoint(IUnknown* source, ComPtr<IConnectionPoint>& point) {
    ComPtr<IConnectionPointContainer> container;
    if (HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, container.put_void());
        FAILED(hr))
      return hr;
    return container->FindConnectionPoint(events_, point.put());
  }

  // `view` gets the argument as `vt`; a conversion's result is owned by `holder`.
  static HRESULT Convert(VARIANT& source, VARTYPE vt, VARIANT& view, Variant& holder) {
    if (vt == (VT_BYREF | VT_VARIANT)) {
      view.vt = vt;
      view.pvarVal = source.vt == (VT_BYREF | VT_VARIANT) ? source.pvarVal : &source;
      return S_OK;
    }
    if (source.vt == vt) {
      view = source;  // borrowed: the caller owns what it passed
      return S_OK;
    }
    if (vt & VT_BYREF) return DISP_E_TYPEMISMATCH;
    if (HRESULT hr = VariantChangeType(holder.ptr(), &source, 0, vt); FAILED(hr)) return hr;
    view = holder.get();
    return S_OK;
  }

  T* owner_;
  IID events_;
  const SinkEntry<T>* table_;
  DWORD cookie_ = kNotConnected;
};

}  // namespace activex
