#include "runtime/Com.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "runtime/Exceptions.h"

namespace lumo {
namespace {

class Engine : public ComObject {
 public:
  explicit Engine(int serial) : serial_(serial) {}
  int serial_;
};

// Leaves the thread uninitialised and the test classes unregistered, whatever a case did.
class ComTest : public ::testing::Test {
 protected:
  void TearDown() override {
    while (ComInitCount() > 0) CoUninitialize();
    UnregisterProgId("Test.Engine.1");
    UnregisterProgId("Test.Other.1");
  }
};

int32_t ErrorCodeOf(const std::string& progId) {
  try {
    CreateOleObject(progId);
  } catch (const EOleSysError& error) {
    return error.ErrorCode();
  }
  return 0;
}

TEST_F(ComTest, FirstInitialiseOfThreadIsOkLaterOnesFalse) {
  EXPECT_EQ(ComInitCount(), 0);
  EXPECT_EQ(CoInitialize(), kS_OK);
  EXPECT_EQ(CoInitialize(nullptr), kS_FALSE);
  EXPECT_EQ(CoInitialize(), kS_FALSE);
  EXPECT_EQ(ComInitCount(), 3);
  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(CoInitialize(), kS_FALSE);  // still initialised once
  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(ComInitCount(), 0);
  CoUninitialize();  // one too many is harmless
  EXPECT_EQ(ComInitCount(), 0);
  EXPECT_EQ(CoInitialize(), kS_OK);
}

TEST_F(ComTest, CountsBelongToTheirThread) {
  ASSERT_EQ(CoInitialize(), kS_OK);
  int32_t otherFirst = -1;
  int32_t otherSecond = -1;
  int32_t createCode = 0;
  RegisterProgId("Test.Engine.1", [] { return std::make_shared<Engine>(1); });
  std::thread other([&] {
    createCode = ErrorCodeOf("Test.Engine.1");
    otherFirst = CoInitialize();
    otherSecond = CoInitialize();
    CoUninitialize();
    CoUninitialize();
  });
  other.join();
  EXPECT_EQ(createCode, kCoENotInitialized);
  EXPECT_EQ(otherFirst, kS_OK);
  EXPECT_EQ(otherSecond, kS_FALSE);
  EXPECT_EQ(ComInitCount(), 1);
}

TEST_F(ComTest, CreateOleObjectUsesTheRegisteredFactoryWithoutRegardToCase) {
  int made = 0;
  RegisterProgId("Test.Engine.1", [&made] { return std::make_shared<Engine>(++made); });
  ASSERT_EQ(CoInitialize(), kS_OK);
  auto first = std::dynamic_pointer_cast<Engine>(CreateOleObject("Test.Engine.1"));
  auto second = std::dynamic_pointer_cast<Engine>(CreateOleObject("TEST.engine.1"));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->serial_, 1);
  EXPECT_EQ(second->serial_, 2);
  EXPECT_TRUE(IsProgIdRegistered("test.ENGINE.1"));
}

TEST_F(ComTest, CreateOleObjectRaisesThePlatformErrors) {
  RegisterProgId("Test.Engine.1", [] { return std::make_shared<Engine>(1); });
  try {
    CreateOleObject("Test.Engine.1");
    FAIL() << "created an object without initialising COM";
  } catch (const EOleSysError& error) {
    EXPECT_STREQ(error.what(), "CoInitialize has not been called");
    EXPECT_EQ(error.ErrorCode(), static_cast<int32_t>(0x800401F0u));
  }
  ASSERT_EQ(CoInitialize(), kS_OK);
  try {
    CreateOleObject("Test.Missing.1");
    FAIL() << "created an object of an unknown class";
  } catch (const EOleSysError& error) {
    EXPECT_STREQ(error.what(), "Invalid class string");
    EXPECT_EQ(error.ErrorCode(), static_cast<int32_t>(0x800401F3u));
  }
}

TEST_F(ComTest, RegistrationReplacesAndUnregisters) {
  ASSERT_EQ(CoInitialize(), kS_OK);
  RegisterProgId("Test.Engine.1", [] { return std::make_shared<Engine>(1); });
  RegisterProgId("Test.Other.1", [] { return std::make_shared<Engine>(7); });
  RegisterProgId("TEST.ENGINE.1", [] { return std::make_shared<Engine>(2); });
  EXPECT_EQ(std::dynamic_pointer_cast<Engine>(CreateOleObject("Test.Engine.1"))->serial_, 2);
  // Replacing keeps the first spelling and the place in the list.
  std::vector<std::string> names = RegisteredProgIds();
  auto engine = std::find(names.begin(), names.end(), "Test.Engine.1");
  auto other = std::find(names.begin(), names.end(), "Test.Other.1");
  ASSERT_NE(engine, names.end());
  EXPECT_LT(engine, other);
  EXPECT_EQ(std::count(names.begin(), names.end(), "TEST.ENGINE.1"), 0);

  EXPECT_TRUE(UnregisterProgId("test.engine.1"));
  EXPECT_FALSE(UnregisterProgId("test.engine.1"));
  EXPECT_FALSE(IsProgIdRegistered("Test.Engine.1"));
  EXPECT_EQ(ErrorCodeOf("Test.Engine.1"), kCoEClassString);
}

TEST_F(ComTest, FactoryErrorsPropagateAndFactoriesMayUseTheRegistry) {
  ASSERT_EQ(CoInitialize(), kS_OK);
  RegisterProgId("Test.Other.1", []() -> std::shared_ptr<ComObject> {
    throw EOleSysError("Class not registered", static_cast<int32_t>(0x80040154u));
  });
  EXPECT_EQ(ErrorCodeOf("Test.Other.1"), static_cast<int32_t>(0x80040154u));
  // A factory that creates another class through the registry must not deadlock.
  RegisterProgId("Test.Engine.1", [] { return std::make_shared<Engine>(1); });
  RegisterProgId("Test.Other.1", [] { return CreateOleObject("Test.Engine.1"); });
  EXPECT_NE(std::dynamic_pointer_cast<Engine>(CreateOleObject("Test.Other.1")), nullptr);
}

}  // namespace
}  // namespace lumo
