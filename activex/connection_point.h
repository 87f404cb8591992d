// Outgoing events: a connection-point container and one connection point per event interface.
//
//   class CThing : public activex::ObjectRoot<CThing>, public IThing,
//                  public activex::ConnectionPointContainer {
//     activex::ConnectionPoint events_{this, DIID__IThingEvents};  // registers itself
//     void Changed() { events_.FireDispatch(1); }
//   };
//   // interface map: Entry<CThing, IConnectionPointContainer>()
//
// A connection point lives inside its container object: its AddRef and Release count on the
// container, so a client holding the point keeps the object alive. Sinks are kept in slots in
// the order they were advised (a freed slot is reused by the next Advise); the cookie is the
// slot's index + 1. Advise asks the sink for the event interface and keeps that pointer.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <vector>

#include "com_ptr.h"

namespace activex {

class ConnectionPoint;

class ConnectionPointContainer : public IConnectionPointContainer {
 public:
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

 protected:
  ConnectionPointContainer() = default;
  ~ConnectionPointContainer() = default;

 private:
  friend class ConnectionPoint;
  std::vector<ConnectionPoint*> points_;  // members of the same object, in declaration order
};

class ConnectionPoint final : public IConnectionPoint {
 public:
  // Asked first by every Advise; a failure refuses the connection with that result.
  using AdviseGate = HRESULT (*)();

  // `container` is the object this point is a member of; `iid` the event interface.
  ConnectionPoint(ConnectionPointContainer* container, REFIID iid, AdviseGate gate = nullptr);
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;
  ~ConnectionPoint() = default;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP GetConnectionInterface(IID* out) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** out) override;

  // Fires event `dispid` of a dispatch event interface: for each connected sink, in slot
  // order, a reference is held for the call to Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT,
  // DISPATCH_METHOD, no arguments, no result, no exception information, no argument index).
  // The result is the HRESULT of the last call made, S_OK when no sink is connected. A sink
  // may advise or unadvise during the call.
  HRESULT FireDispatch(DISPID dispid);

  // Calls `call(IDispatch* sink)` for each connected sink in slot order, holding a reference
  // for the call; a sink may advise or unadvise meanwhile (the slots are read again each time).
  template <class Call>
  void ForEachSink(Call call) {
    for (std::size_t i = 0; i < sinks_.size(); ++i) {
      ComPtr<IUnknown> sink = sinks_[i];
      // The event interface is a dispatch interface: its pointer is an IDispatch pointer.
      if (sink) call(static_cast<IDispatch*>(static_cast<void*>(sink.get())));
    }
  }

  // Sinks connected now.
  std::size_t ConnectionCount() const;

  REFIID iid() const { return iid_; }

 private:
  ConnectionPointContainer* container_;
  IID iid_;
  AdviseGate gate_;
  // The sinks' event-interface pointers; empty slots are unadvised connections. The event
  // interface is a dispatch interface, so the pointers are IDispatch pointers as well.
  std::vector<ComPtr<IUnknown>> sinks_;
};

}  // namespace activex
