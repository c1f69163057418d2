// The English template that translators start from must name every text of
// every window exactly as the window shows it, and nothing that is gone.
#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/memory/memory_registry.h"
#include "tests/ui/template_check.h"
#include "tests/ui/ui_test_util.h"
#include "ui/main_window.h"

namespace cvn::ui {
namespace {

using testing::PumpMessagesUntil;

TEST(EnglishTemplateTest, NamesEveryTextOfTheMainWindow) {
  platform::MemoryRegistry registry;
  AppContext context;
  auto window = std::make_unique<TfrmCvnMain>(context, registry);
  ASSERT_TRUE(window->Create());
  ExpectTemplateDescribes(*window);
  window.reset();
  PumpMessagesUntil([] { return true; });
}

}  // namespace
}  // namespace cvn::ui
