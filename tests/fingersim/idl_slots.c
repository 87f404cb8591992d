/* Slots of the SDK interface's methods as the generated C declaration lays out its method
   table (C sees the table as a struct of function pointers; idl_test.cpp checks the numbers). */
#include <stddef.h>

#include <windows.h>

#include "fingersdk.h"
#include "idl_slots.h"

#define SLOT_OF(member) { #member, offsetof(IFingerSdkVtbl, member) / sizeof(void*) }

const struct VtableSlot kFingerSdkSlots[] = {
    SLOT_OF(QueryInterface),    SLOT_OF(Invoke),
    SLOT_OF(StartupStage1),     SLOT_OF(ShutdownStage1),
    SLOT_OF(Reserved09),        SLOT_OF(Reserved10),
    SLOT_OF(Reserved11),        SLOT_OF(Reserved12),
    SLOT_OF(Reserved13),        SLOT_OF(Reserved14),
    SLOT_OF(Reserved15),        SLOT_OF(Reserved16),
    SLOT_OF(Reserved17),        SLOT_OF(StartupStage2),
    SLOT_OF(ShutdownStage2),    SLOT_OF(BeginCaptureOn),
    SLOT_OF(EndCaptureOn),      SLOT_OF(Reserved22),
    SLOT_OF(Reserved23),        SLOT_OF(RawImageToPicture),
    SLOT_OF(ExtractTemplateFromImage), SLOT_OF(Reserved26),
    SLOT_OF(Reserved27),        SLOT_OF(Reserved28),
    SLOT_OF(Reserved29),        SLOT_OF(Reserved30),
    SLOT_OF(Reserved31),        SLOT_OF(Reserved32),
    SLOT_OF(BeginEnrollment),   SLOT_OF(EnrollFromImage),
};

const size_t kFingerSdkSlotCount = sizeof kFingerSdkSlots / sizeof kFingerSdkSlots[0];
const size_t kFingerSdkTableSize = sizeof(IFingerSdkVtbl) / sizeof(void*);
