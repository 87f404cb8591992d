// Growing a finger's master pattern takes a fraction of a second, while a session touches the
// same few fingers again and again: the last few patterns are kept, process-wide.
#pragma once

#include <cstdint>
#include <memory>

#include "finger_pattern.h"

namespace fingersim {

// The master pattern of `finger`, grown on first use and kept while it is among the most
// recently used. Safe to call from any thread.
std::shared_ptr<const MasterPattern> CachedMasterPattern(std::int64_t finger);

}  // namespace fingersim
