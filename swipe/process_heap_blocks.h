// Capture buffers from the process heap.
#pragma once

#include "block_allocator.h"

namespace swipe {

class ProcessHeapBlocks final : public BlockAllocator {
 public:
  unsigned char* AllocateZeroed(std::size_t size) override;
  void Free(unsigned char* block) override;
};

}  // namespace swipe
