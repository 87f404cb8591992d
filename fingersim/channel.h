// The control channel of the simulated scanner: process-wide state that every simulated SDK
// object consults and that tests, scripts and the demo steer (through the "FingerSdkSim.Scanner"
// object). Without any setting the SDK objects behave like a working scanner.
//
// The SDK object side, per call of a method:
//
//   const auto call = ScannerChannel::Process().Enter(Operation::BeginCaptureOn, {LogArg::Text(id)});
//   if (call.failed()) return call.failure;
//   *result = call.scripted ? call.scripted->value : 0;
//
// Every member is safe to call from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "call_log.h"
#include "operations.h"
#include "scripted_results.h"

namespace fingersim {

// The device the simulated scanner names in its events.
constexpr std::string_view kScannerDeviceId = "SIM-SCANNER-01";

// What LiveObjects counts.
enum class LiveKind { sdkObject, picture, imageArray };

class ScannerChannel {
 public:
  // The instance of this process.
  static ScannerChannel& Process();

  // --- steering (the control-channel object) ---

  // Scripts the out-values of the next calls of an operation (ScriptedValues); the empty text
  // removes the script. False, changing nothing, for an unknown operation or a malformed text.
  bool SetResults(std::string_view operation, std::string_view values);

  // Makes the next call of an operation fail with `hresult` (a failure code: negative). Several
  // failures for one operation are used up one call each, in the order given. False, changing
  // nothing, for an unknown operation or a code that is no failure.
  bool AddFailure(std::string_view operation, std::int32_t hresult);

  void SetPictureWithoutIPicture(bool on);
  bool PictureWithoutIPicture() const;

  std::string CallLogText() const;

  // Back to defaults: nothing scripted, no failures, the picture flag clear, the log empty and
  // the touch counts at zero. Live objects are real objects and keep being counted.
  void Reset();

  // The touch number for the next touch of a finger: 0 after a reset, then 1, 2, ...
  std::int64_t NextTouch(std::int64_t finger);

  // --- the SDK objects ---

  struct Call {
    std::int32_t failure = 0;                // a failure to return instead of running the call
    std::optional<ScriptedValue> scripted;   // out-value to hand back instead of the default
    bool failed() const { return failure < 0; }
  };

  // Records a call in the log; then either takes the operation's next pending failure or, when
  // none is pending, its next scripted value. A failed call does not use up a scripted value.
  Call Enter(Operation operation, std::initializer_list<LogArg> args);

  // The next pending failure of an operation that is not logged (Advise), or 0.
  std::int32_t TakeFailure(Operation operation);

  void ObjectCreated(LiveKind kind);
  void ObjectReleased(LiveKind kind);
  std::int32_t LiveObjects() const;
  std::int32_t LiveObjects(LiveKind kind) const;

 private:
  std::int32_t TakeFailureLocked(Operation operation);

  static constexpr std::size_t kOperationCount = kOperations.size();

  mutable std::mutex lock_;
  std::array<ScriptedSequence, kOperationCount> scripts_;
  std::array<std::deque<std::int32_t>, kOperationCount> failures_;
  bool pictureWithoutIPicture_ = false;
  CallLog log_;
  std::map<std::int64_t, std::int64_t> touches_;
  std::array<std::int32_t, 3> live_{};
};

}  // namespace fingersim
