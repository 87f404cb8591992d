#include "process_heap_blocks.h"

#include <windows.h>

namespace swipe {

unsigned char* ProcessHeapBlocks::AllocateZeroed(std::size_t size) {
  return static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size));
}

void ProcessHeapBlocks::Free(unsigned char* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace swipe
