// The options dialog on the real controls, driven from inside its modal
// loop: what Ok stores and what Cancel leaves alone.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/memory/memory_registry.h"
#include "tests/support/platform_win32_sandbox.h"
#include "tests/ui/ui_test_util.h"
#include "ui/input_text_dialog.h"
#include "ui/message_box.h"
#include "ui/options_dialog.h"
#include "uninstall/uninstall_log.h"

namespace cvn::ui {
namespace {

using testing::DialogStep;

class OptionsDialogTest : public testing::WindowTest {
 protected:
  OptionsDialogTest() {
    stored_.program_folder = "C:\\Apps\\Corvane";
    stored_.excluded_folders.Add("C:\\Apps\\Corvane");
    stored_.excluded_folders.Add("D:\\Temp");
    stored_.ignored_keys.Add("HKEY_CURRENT_USER\\Software\\Bar");
  }

  // A click on the dialog's component `name`, as its button reports it.
  DialogStep Click(const char* name) {
    return [this, name](HWND dialog) {
      const Component* button = dialog_->FindComponent(name);
      ASSERT_NE(button, nullptr) << name;
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button->id(), BN_CLICKED),
                   reinterpret_cast<LPARAM>(button->hwnd()));
    };
  }
  // Adds HKLM\Software\Foo through the text input.
  std::vector<DialogStep> AddKey() {
    return {Click("btnAddIgnKey"), [](HWND) {
              const HWND input = FindWindowW(InputTextDialog::kClassName, nullptr);
              ASSERT_NE(input, nullptr) << "no text input";
              SetWindowTextW(FindWindowExW(input, nullptr, L"Edit", nullptr),
                             L"HKLM\\Software\\Foo");
              testing::PressKey(input, VK_RETURN);
            }};
  }
  std::vector<std::wstring> Rows(const char* list) const {
    const HWND control = dialog_->FindComponent(list)->hwnd();
    std::vector<std::wstring> rows;
    for (int i = 0; i < ListView_GetItemCount(control); ++i) {
      wchar_t text[260] = {};
      ListView_GetItemText(control, i, 0, text, 260);
      rows.emplace_back(text);
    }
    return rows;
  }
  bool Run(std::vector<DialogStep> steps, settings::Settings& settings) {
    dialog_.emplace(settings);
    dialog_->choose_folder = [](HWND) { return std::optional<std::string>("C:\\Data"); };
    testing::DialogDriver driver(OptionsDialog::kClassName, std::move(steps));
    const bool ok = ShowOptionsDialog(*dialog_, nullptr, settings, registry_);
    EXPECT_TRUE(driver.finished()) << "the dialog closed before every step ran";
    EXPECT_FALSE(driver.closed_by_driver());
    return ok;
  }

  settings::Settings stored_;
  platform::MemoryRegistry registry_;
  std::optional<OptionsDialog> dialog_;
};

TEST_F(OptionsDialogTest, OkStoresTheEditedLists) {
  settings::Settings settings = stored_;
  std::vector<DialogStep> steps = {Click("btnAddExclFolder")};
  for (DialogStep& step : AddKey()) steps.push_back(std::move(step));
  steps.push_back([this](HWND) {
    EXPECT_EQ(Rows("lvExFolders"), (std::vector<std::wstring>{L"C:\\Data", L"D:\\Temp"}));
    EXPECT_EQ(Rows("lvIgnKeys"), (std::vector<std::wstring>{L"HKEY_CURRENT_USER\\Software\\Bar",
                                                            L"HKEY_LOCAL_MACHINE\\Software\\Foo"}));
  });
  steps.push_back(Click("btnOk"));
  ASSERT_TRUE(Run(std::move(steps), settings));
  EXPECT_EQ(settings.excluded_folders.entries(),
            (std::vector<std::string>{"C:\\APPS\\CORVANE", "C:\\Data", "D:\\Temp"}));
  EXPECT_EQ(settings.ignored_keys.entries(),
            (std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\Bar",
                                      "HKEY_LOCAL_MACHINE\\Software\\Foo"}));
  settings::Settings saved;
  saved.program_folder = settings.program_folder;
  settings::LoadSettings(registry_, saved);
  EXPECT_EQ(saved.ignored_keys, settings.ignored_keys);
  EXPECT_TRUE(saved.excluded_folders.Contains("C:\\Data"));
}

TEST_F(OptionsDialogTest, CancelAfterChangesKeepsEverySetting) {
  settings::Settings settings = stored_;
  std::vector<DialogStep> steps = {Click("btnAddExclFolder")};
  for (DialogStep& step : AddKey()) steps.push_back(std::move(step));
  steps.push_back([this](HWND) {
    SendMessageW(dialog_->FindComponent("cbErrors")->hwnd(), BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageW(dialog_->FindComponent("cbStergFisiere")->hwnd(), BM_SETCHECK, BST_UNCHECKED, 0);
    EXPECT_EQ(Rows("lvIgnKeys").size(), 2u);
  });
  steps.push_back(Click("btnCancel"));
  EXPECT_FALSE(Run(std::move(steps), settings));
  EXPECT_EQ(settings, stored_);
  std::unique_ptr<platform::RegKey> key;
  EXPECT_FALSE(registry_
                   .OpenKey(platform::RootKey::kCurrentUser, settings::kSettingsKey,
                            platform::KeyAccess::kRead, &key)
                   .ok())
      << "nothing was saved";
}

TEST_F(OptionsDialogTest, RemoveAndRecycleBinFollowTheirControls) {
  settings::Settings settings = stored_;
  const auto enabled = [this](const char* name) {
    return IsWindowEnabled(dialog_->FindComponent(name)->hwnd()) != FALSE;
  };
  std::vector<DialogStep> steps = {
      [&](HWND) {
        EXPECT_FALSE(enabled("btnRemIgnKey"));
        EXPECT_TRUE(enabled("cbUseRecycled"));
        ListView_SetItemState(dialog_->FindComponent("lvIgnKeys")->hwnd(), 0, LVIS_SELECTED,
                              LVIS_SELECTED);
        EXPECT_TRUE(enabled("btnRemIgnKey"));
        SendMessageW(dialog_->FindComponent("cbStergFisiere")->hwnd(), BM_SETCHECK, BST_UNCHECKED,
                     0);
      },
      Click("btnRemIgnKey"), Click("cbStergFisiere"),
      [&](HWND) {
        EXPECT_TRUE(Rows("lvIgnKeys").empty());
        EXPECT_FALSE(enabled("btnRemIgnKey"));
        EXPECT_FALSE(enabled("cbUseRecycled"));
      },
      Click("btnOk")};
  ASSERT_TRUE(Run(std::move(steps), settings));
  EXPECT_TRUE(settings.ignored_keys.empty());
  EXPECT_FALSE(settings.delete_files);
}

// View log and Clear log follow Log.txt on the disk; Clear log deletes it
// only after a Yes.
TEST_F(OptionsDialogTest, ClearLogAsksFirstAndTheLogButtonsFollowTheFile) {
  const test::Win32Sandbox sandbox;
  settings::Settings settings = stored_;
  settings.program_folder = sandbox.folder;
  const std::wstring log = test::AsciiToWide(uninstall::LogFilePath(sandbox.folder));
  const auto exists = [&] { return GetFileAttributesW(log.c_str()) != INVALID_FILE_ATTRIBUTES; };
  const auto enabled = [this](const char* name) {
    return IsWindowEnabled(dialog_->FindComponent(name)->hwnd()) != FALSE;
  };
  const auto answer = [](UINT key) {
    return [key](HWND) {
      const HWND box = FindWindowW(kMessageFormClassName, nullptr);
      ASSERT_NE(box, nullptr) << "no question";
      testing::PressKey(box, key);
    };
  };
  HANDLE file = CreateFileW(log.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  std::vector<DialogStep> steps = {
      [&](HWND) {
        EXPECT_TRUE(enabled("btnViewLog"));
        EXPECT_TRUE(enabled("btnClearLog"));
      },
      Click("btnClearLog"), answer(VK_ESCAPE),
      [&](HWND) {
        EXPECT_TRUE(exists()) << "No keeps the log";
        EXPECT_TRUE(enabled("btnClearLog"));
      },
      Click("btnClearLog"), answer(VK_RETURN),
      [&](HWND) {
        EXPECT_FALSE(exists());
        EXPECT_FALSE(enabled("btnViewLog"));
        EXPECT_FALSE(enabled("btnClearLog"));
      },
      Click("btnCancel")};
  EXPECT_FALSE(Run(std::move(steps), settings));
}

}  // namespace
}  // namespace cvn::ui
