// Memory for the capture buffers: zero-filled blocks, taken once per recording.
#pragma once

#include <cstddef>

namespace swipe {

class BlockAllocator {
 public:
  virtual ~BlockAllocator() = default;
  // A zero-filled block of `size` bytes, or null when it can't be had.
  virtual unsigned char* AllocateZeroed(std::size_t size) = 0;
  virtual void Free(unsigned char* block) = 0;
};

// The C heap.
class CHeapBlocks final : public BlockAllocator {
 public:
  unsigned char* AllocateZeroed(std::size_t size) override;
  void Free(unsigned char* block) override;
};

}  // namespace swipe
