// The operations of the simulated fingerprint SDK that a script can steer through the control
// channel: the named methods of the SDK's dual interface, with their slots in its method table
// (IUnknown and IDispatch take slots 0 to 6), and "Advise" on its event connection point.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace fingersim {

enum class Operation {
  StartupStage1,
  ShutdownStage1,
  StartupStage2,
  ShutdownStage2,
  BeginCaptureOn,
  EndCaptureOn,
  RawImageToPicture,
  ExtractTemplateFromImage,
  BeginEnrollment,
  EnrollFromImage,
  Advise,
};

struct OperationInfo {
  Operation operation;
  std::string_view name;
  int slot;  // -1 for Advise, which is no method of the interface
};

constexpr std::array<OperationInfo, 11> kOperations{{
    {Operation::StartupStage1, "StartupStage1", 7},
    {Operation::ShutdownStage1, "ShutdownStage1", 8},
    {Operation::StartupStage2, "StartupStage2", 18},
    {Operation::ShutdownStage2, "ShutdownStage2", 19},
    {Operation::BeginCaptureOn, "BeginCaptureOn", 20},
    {Operation::EndCaptureOn, "EndCaptureOn", 21},
    {Operation::RawImageToPicture, "RawImageToPicture", 24},
    {Operation::ExtractTemplateFromImage, "ExtractTemplateFromImage", 25},
    {Operation::BeginEnrollment, "BeginEnrollment", 33},
    {Operation::EnrollFromImage, "EnrollFromImage", 34},
    {Operation::Advise, "Advise", -1},
}};

// Slots of the interface's method table; the ones between the named methods are fillers.
constexpr int kFirstSdkSlot = 7;
constexpr int kLastSdkSlot = 34;

std::string_view NameOf(Operation operation);

// The operation of that exact name (case matters), if any.
std::optional<Operation> OperationNamed(std::string_view name);

// Every operation but Advise hands back a number (a status or result) that scripts can set.
constexpr bool HasOutValue(Operation operation) { return operation != Operation::Advise; }

}  // namespace fingersim
