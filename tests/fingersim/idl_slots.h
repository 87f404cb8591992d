/* Method slots of the SDK's dual interface, read from the generated C declaration. */
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

struct VtableSlot {
  const char* name;
  size_t slot;
};

extern const struct VtableSlot kFingerSdkSlots[];
extern const size_t kFingerSdkSlotCount;
extern const size_t kFingerSdkTableSize; /* entries in the whole table */

#ifdef __cplusplus
}
#endif
