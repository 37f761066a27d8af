// EXPECT_OK(expr) and ASSERT_OK(expr): like EXPECT_TRUE(s.ok()), but a
// failure prints the expression and the status's texts.
#pragma once

#include <gtest/gtest.h>

namespace testsupport {

template <typename S>
::testing::AssertionResult IsOk(const char* expr, const S& status) {
  if (status.ok()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << expr << ": " << status.ToString();
}

}  // namespace testsupport

#define EXPECT_OK(expr) EXPECT_PRED_FORMAT1(::testsupport::IsOk, expr)
#define ASSERT_OK(expr) ASSERT_PRED_FORMAT1(::testsupport::IsOk, expr)
