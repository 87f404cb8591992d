// The control tests run in a single-threaded OLE apartment, as controls do in their hosts.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

namespace {

class OleEnvironment : public testing::Environment {
 public:
  void SetUp() override { ASSERT_EQ(OleInitialize(nullptr), S_OK); }
  void TearDown() override { OleUninitialize(); }
};

const auto* const oleEnvironment = testing::AddGlobalTestEnvironment(new OleEnvironment);

}  // namespace
