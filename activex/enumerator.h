// A COM enumerator over a snapshot taken when it is made (IEnumConnections,
// IEnumConnectionPoints and the like). Stored items hold their own references; Next hands
// out new ones as the enumerator contract requires.
//
//   struct Stored { ComPtr<IConnectionPoint> point;
//                   IConnectionPoint* Out() const { point->AddRef(); return point.get(); } };
//   activex::MakeEnumerator<IEnumConnectionPoints, IConnectionPoint*>(std::move(items), out);
#pragma once

#include <windows.h>

#include <algorithm>
#include <new>
#include <vector>

#include "object.h"

namespace activex {

template <class IEnum, class Item, class Stored>
class SnapshotEnumerator : public ObjectRoot<SnapshotEnumerator<IEnum, Item, Stored>>,
                           public IEnum {
 public:
  static const InterfaceEntry* InterfaceMap() {
    static const InterfaceEntry map[] = {Entry<SnapshotEnumerator, IEnum>(), {}};
    return map;
  }

  void Init(std::vector<Stored> items, std::size_t position) {
    items_ = std::move(items);
    position_ = position;
  }

  STDMETHODIMP Next(ULONG count, Item* out, ULONG* fetched) override {
    if (!out || (count != 1 && !fetched)) return E_POINTER;
    ULONG n = 0;
    for (; n < count && position_ < items_.size(); ++n, ++position_) out[n] = items_[position_].Out();
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    const std::size_t left = items_.size() - position_;
    position_ += std::min<std::size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnum** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
      return Make(items_, position_, out);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }

  static HRESULT Make(std::vector<Stored> items, std::size_t position, IEnum** out) {
    ComObject<SnapshotEnumerator>* e = nullptr;
    if (HRESULT hr = CreateObject(&e); FAILED(hr)) return hr;
    e->Init(std::move(items), position);
    *out = e;  // CreateObject's reference goes to the caller
    return S_OK;
  }

 private:
  std::vector<Stored> items_;
  std::size_t position_ = 0;
};

template <class IEnum, class Item, class Stored>
HRESULT MakeEnumerator(std::vector<Stored> items, IEnum** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return SnapshotEnumerator<IEnum, Item, Stored>::Make(std::move(items), 0, out);
}

}  // namespace activex
