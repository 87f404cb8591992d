// The fingerprint clients run in a single-threaded OLE apartment, as the control's hosts do. The
// stand-in SDK's class object is withdrawn before the apartment ends.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include "stand_in_sdk.h"

namespace {

class OleEnvironment : public testing::Environment {
 public:
  void SetUp() override { ASSERT_EQ(OleInitialize(nullptr), S_OK); }
  void TearDown() override {
    stand_in_sdk::Revoke();
    OleUninitialize();
  }
};

const auto* const oleEnvironment = testing::AddGlobalTestEnvironment(new OleEnvironment);

}  // namespace
