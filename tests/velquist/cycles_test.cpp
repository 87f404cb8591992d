// Many recordings started and stopped through the control on the real sound input: every cycle
// opens the device, queues its buffers and takes them back, and nothing may be left behind.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include "bstr.h"
#include "com_ptr.h"
#include "handle.h"
#include "loaded_server.h"
#include "Velquist.h"

namespace {

using activex::ComPtr;

DWORD HandleCount() {
  DWORD count = 0;
  GetProcessHandleCount(GetCurrentProcess(), &count);
  return count;
}

SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                       sizeof counters);
  return counters.PrivateUsage;
}

int ThreadCount() {
  activex::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Thread32First(snapshot.get(), &entry); more;
       more = Thread32Next(snapshot.get(), &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  return count;
}

TEST(VelquistCycles, StartAndStopLeaveNoThreadHandleOrHeapBlock) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  {
    static const registry_test::LoadedServer server(VELQUIST_PATH);
    ComPtr<IVelquist> control;
    ASSERT_EQ(server.Create(CLSID_Velquist, control), S_OK);

    // One cycle first, so that the sound system's own threads and handles are in place.
    activex::Bstr text;
    ASSERT_EQ(control->StartRecording(1), S_OK);
    Sleep(150);
    ASSERT_EQ(control->get_GetTrack2(text.put()), S_OK);
    const DWORD handles = HandleCount();
    const int threads = ThreadCount();
    const SIZE_T memory = PrivateBytes();

    for (int i = 0; i < 150; ++i) {
      // Stop at every stage: right after the start, while the worker opens the device, and
      // with the device recording.
      ASSERT_EQ(control->StartRecording(i % 2 ? 1 : 65537), S_OK);
      if (i % 3) Sleep(i % 3 == 1 ? 5 : 150);
      ASSERT_EQ(control->get_GetTrack2(text.put()), S_OK);
      ASSERT_NE(text.get(), nullptr) << "an empty text, never a null one";
    }
    // The worker and the device are gone with every stop; allow the sound system a little slack.
    EXPECT_LE(ThreadCount(), threads + 1);
    EXPECT_LE(HandleCount(), handles + 4);
    // 150 recordings took three buffers of one or two seconds each (88200 bytes a second)
    // from the heap: 60 MB had they been kept.
    EXPECT_LT(PrivateBytes(), memory + 8 * 1024 * 1024) << "capture buffers given back";
  }
  CoUninitialize();
}

}  // namespace
