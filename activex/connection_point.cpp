#include "connection_point.h"

#include <new>

#include "enumerator.h"

namespace activex {
namespace {

struct StoredPoint {
  ComPtr<IConnectionPoint> point;
  IConnectionPoint* Out() const {
    point->AddRef();
    return point.get();
  }
};

struct StoredConnection {
  ComPtr<IUnknown> sink;
  DWORD cookie;
  CONNECTDATA Out() const {
    sink->AddRef();
    return {sink.get(), cookie};
  }
};

}  // namespace

STDMETHODIMP ConnectionPointContainer::EnumConnectionPoints(IEnumConnectionPoints** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  try {
    std::vector<StoredPoint> items;
    for (ConnectionPoint* p : points_) items.push_back({ComPtr<IConnectionPoint>(p)});
    return MakeEnumerator<IEnumConnectionPoints, IConnectionPoint*>(std::move(items), out);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

STDMETHODIMP ConnectionPointContainer::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (ConnectionPoint* p : points_) {
    if (InlineIsEqualGUID(p->iid(), iid)) {
      p->AddRef();
      *out = p;
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

ConnectionPoint::ConnectionPoint(ConnectionPointContainer* container, REFIID iid, AdviseGate gate)
    : container_(container), iid_(iid), gate_(gate) {
  container_->points_.push_back(this);
}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (InlineIsEqualGUID(iid, IID_IUnknown) || InlineIsEqualGUID(iid, IID_IConnectionPoint)) {
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ConnectionPoint::AddRef() { return container_->AddRef(); }
STDMETHODIMP_(ULONG) ConnectionPoint::Release() { return container_->Release(); }

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* out) {
  if (!out) return E_POINTER;
  *out = iid_;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  if (!out) return E_POINTER;
  container_->AddRef();
  *out = container_;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (gate_) {
    if (HRESULT hr = gate_(); FAILED(hr)) return hr;
  }
  if (!sink) return E_POINTER;
  ComPtr<IUnknown> events;
  if (FAILED(sink->QueryInterface(iid_, events.put_void()))) return CONNECT_E_CANNOTCONNECT;
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

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
  if (cookie == 0 || cookie > sinks_.size() || !sinks_[cookie - 1]) return CONNECT_E_NOCONNECTION;
  // Moved out first: the sink's release may call back into this point.
  ComPtr<IUnknown> gone = std::move(sinks_[cookie - 1]);
  return S_OK;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  try {
    std::vector<StoredConnection> items;
    for (std::size_t i = 0; i < sinks_.size(); ++i)
      if (sinks_[i]) items.push_back({sinks_[i], static_cast<DWORD>(i + 1)});
    return MakeEnumerator<IEnumConnections, CONNECTDATA>(std::move(items), out);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT ConnectionPoint::FireDispatch(DISPID dispid) {
  HRESULT hr = S_OK;
  ForEachSink([&](IDispatch* sink) {
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    hr = sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                      nullptr, nullptr);
  });
  return hr;
}

std::size_t ConnectionPoint::ConnectionCount() const {
  std::size_t n = 0;
  for (const ComPtr<IUnknown>& sink : sinks_) n += sink ? 1 : 0;
  return n;
}

}  // namespace activex
