// The control's outgoing events, _IMyControlEvents: one connection point in the control's
// container, and the two events the control fires through it. OnFingerUp (3) and
// OnImageAcquired (4) belong to the interface but are never fired.
#pragma once

#include <windows.h>

#include "connection_point.h"
#include "QuorvaneBiometric.h"

namespace fingerprint {

enum MyControlEvent : DISPID {
  kOnFingerUp = 3,
  kOnImageAcquired = 4,
  kOnSuccess = 5,
  kOnFailure = 6,
};

class MyControlEventSource {
 public:
  // Each goes through the connected sinks in order and invokes the event with no arguments;
  // the result is that of the last sink called, S_OK when none is connected.
  HRESULT Fire_OnSuccess() { return events_.FireDispatch(kOnSuccess); }
  HRESULT Fire_OnFailure() { return events_.FireDispatch(kOnFailure); }

 protected:
  // `container` is the control itself, a base constructed before this one.
  explicit MyControlEventSource(activex::ConnectionPointContainer* container)
      : events_(container, DIID__IMyControlEvents) {}
  ~MyControlEventSource() = default;

 private:
  activex::ConnectionPoint events_;
};

}  // namespace fingerprint
