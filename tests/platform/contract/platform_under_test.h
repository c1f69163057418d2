// The platform a contract test runs on. Each contract test executable links
// exactly one factory (memory_factory.cpp or win32_factory.cpp).
#pragma once

#include <memory>

#include "platform/filesystem.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace cvn::test {

class PlatformUnderTest {
 public:
  virtual ~PlatformUnderTest() = default;
  virtual platform::Registry& registry() = 0;
  virtual platform::FileSystem& fs() = 0;
  virtual platform::Shell& shell() = 0;  // the shell over fs()
};

std::unique_ptr<PlatformUnderTest> MakePlatformUnderTest();

}  // namespace cvn::test
