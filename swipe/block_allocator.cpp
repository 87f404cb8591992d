#include "block_allocator.h"

#include <cstdlib>

namespace swipe {

unsigned char* CHeapBlocks::AllocateZeroed(std::size_t size) {
  return static_cast<unsigned char*>(std::calloc(size, 1));
}

void CHeapBlocks::Free(unsigned char* block) { std::free(block); }

}  // namespace swipe
