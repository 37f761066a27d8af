#include "table/errors.h"

#include <gtest/gtest.h>

#include "paradox/engine.h"
#include "table/session.h"

namespace dataset {
namespace {

TEST(EngineErrorTest, TextsOnePerLineWithoutBlanksOrRepeats) {
  EDBEngineError e(0x2202, {"Corrupt data block", "  ", "", "CORRUPT DATA BLOCK", "C:\\x\\AdvBlock.db"});
  EXPECT_STREQ(e.what(), "Corrupt data block\nC:\\x\\AdvBlock.db");
  EXPECT_EQ(e.ErrorCode(), 0x2202);
  EXPECT_EQ(e.Errors().size(), 5u);
}

TEST(EngineErrorTest, NoTextLeftGivesTheCode) {
  EXPECT_STREQ(EDBEngineError(0x2104, {" ", ""}).what(), "Database engine error $2104");
  EXPECT_STREQ(EDBEngineError(0x00ab, {}).what(), "Database engine error $00ab");
}

TEST(EngineErrorTest, FromStatusKeepsCodeAndTexts) {
  EDBEngineError e(paradox::Status::Error(paradox::ErrorCode::kEncrypted, "T.db"));
  EXPECT_EQ(e.ErrorCode(), static_cast<uint16_t>(paradox::ErrorCode::kEncrypted));
  EXPECT_STREQ(e.what(), "Table is password protected\nT.db");
}

TEST(DatabaseErrorTest, ComponentColonText) {
  EXPECT_STREQ(EDatabaseError::For("Query", "Field 'FNumber' not found").what(),
               "Query: Field 'FNumber' not found");
}

TEST(SessionTest, FailedStartReportsAndRetries) {
  // Other tests may have started the engine through the default session.
  Session().Close();
  ASSERT_FALSE(paradox::Engine::started());
  TSession s("Default");
  int busy = 0, idle = 0;
  TSession::SetBusyCursorHooks([&] { ++busy; return true; }, [&] { ++idle; });
  paradox::Engine::TEST_SetStartFailure(paradox::ErrorCode::kOutOfMemory);
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      s.Open();
      FAIL() << "start should fail";
    } catch (const EDBEngineError& e) {
      EXPECT_STREQ(e.what(), "An error occurred while attempting to initialize the database engine (error $2501)");
      EXPECT_EQ(e.ErrorCode(), 0x2501);
    }
    EXPECT_FALSE(s.Active());
    EXPECT_FALSE(paradox::Engine::started());
  }
  paradox::Engine::TEST_SetStartFailure(paradox::ErrorCode::kOk);
  s.Open();
  EXPECT_TRUE(s.Active());
  EXPECT_TRUE(paradox::Engine::started());
  EXPECT_EQ(busy, 3);
  EXPECT_EQ(idle, 3);
  s.Close();
  EXPECT_FALSE(paradox::Engine::started());
  TSession::SetBusyCursorHooks(nullptr, nullptr);
}

}  // namespace
}  // namespace dataset
