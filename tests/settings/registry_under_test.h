// The registry the settings tests run on: in memory, or the real one under
// Wine. Each test executable links one factory.
#pragma once

#include <memory>

#include "platform/registry.h"

namespace cvn::test {
std::unique_ptr<platform::Registry> MakeRegistryUnderTest();
}
