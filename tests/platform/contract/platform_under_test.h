// The platform a contract test runs on, with a folder and a key of the
// running test's own, C:\CorvaneTest\<suite>.<test> and
// HKEY_CURRENT_USER\Software\CorvaneTest\<suite>.<test>: there and empty when
// it is made, gone from the real system when it is destroyed. Each contract
// test executable links exactly one factory (memory_factory.cpp or
// win32_factory.cpp).
#pragma once

#include <memory>
#include <string>

#include "platform/filesystem.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace cvn::test {

struct PlatformUnderTest {
  virtual ~PlatformUnderTest() = default;
  virtual platform::Registry& registry() = 0;
  virtual platform::FileSystem& fs() = 0;
  virtual platform::Shell& shell() = 0;  // the shell over fs()
  // Makes the key `link` a registry link to `target`, both below `key`.
  virtual bool MakeLink(const std::string& link, const std::string& target) = 0;
  std::string folder, key;  // the key below HKEY_CURRENT_USER
};

std::unique_ptr<PlatformUnderTest> MakePlatformUnderTest();

}  // namespace cvn::test
