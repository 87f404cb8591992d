#include "operations.h"

namespace fingersim {

std::string_view NameOf(Operation operation) {
  for (const OperationInfo& info : kOperations) {
    if (info.operation == operation) return info.name;
  }
  return {};
}

std::optional<Operation> OperationNamed(std::string_view name) {
  for (const OperationInfo& info : kOperations) {
    if (info.name == name) return info.operation;
  }
  return std::nullopt;
}

}  // namespace fingersim
