// Assertions on platform outcomes that print the status they got, and a
// marker that points a helper's failures at the test line that called it.
#pragma once

#include <gtest/gtest.h>

#include <source_location>

#include "platform/status.h"

namespace cvn::test {

inline ::testing::AssertionResult HasCode(platform::StatusCode expected,
                                          const platform::Status& actual) {
  if (actual.code() == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "status is " << actual.ToString() << ", expected "
                                       << platform::Status(expected).ToString();
}

using Where = std::source_location;

}  // namespace cvn::test

#define EXPECT_STATUS(code, expr) \
  EXPECT_TRUE(::cvn::test::HasCode(::cvn::platform::StatusCode::code, (expr)))
#define ASSERT_STATUS(code, expr) \
  ASSERT_TRUE(::cvn::test::HasCode(::cvn::platform::StatusCode::code, (expr)))
#define TRACE_CALLER(where) \
  ::testing::ScopedTrace caller_trace((where).file_name(), (where).line(), "called from here")
