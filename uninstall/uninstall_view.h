// What the uninstall engine needs of the main window: the status line, the
// progress bar, the log box and the shared-file question. The window
// implements it; tests implement it to watch a run and answer the question.
//
// Every method runs on the main thread: the engine reaches them only
// through Synchronize, and the end of a run calls them from the engine's
// end notification.
#pragma once

#include <cstdint>
#include <string_view>

namespace cvn::uninstall {

// A text colour of the log box.
struct LogColor {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  // Use the system's window-text colour instead of the three above.
  bool window_text = false;
  friend bool operator==(const LogColor&, const LogColor&) = default;
};

// The answers of the shared-file question TdlgRemoveShared, with the
// values of the dialog results they stand for.
enum class RemoveAnswer : int32_t {
  kYes = 6,
  kNo = 7,
  kNoToAll = 9,
  kYesToAll = 10,
};

class UninstallView {
 public:
  virtual ~UninstallView() = default;

  // lblStatus shows `text`.
  virtual void SetStatus(std::string_view text) = 0;
  // pbProgress: its maximum, and one step forward.
  virtual void SetProgressMax(uint32_t max) = 0;
  virtual void StepProgress() = 0;
  // reLog: appends `text` as a new line in `color`.
  virtual void AppendLogLine(std::string_view text, LogColor color) = 0;
  // TdlgRemoveShared, shown modally: may the unused shared file
  // `file_name` in `folder` (with a trailing backslash) be removed?
  virtual RemoveAnswer AskRemoveShared(std::string_view file_name, std::string_view folder) = 0;
  // The run has ended: reLog is enabled again with the window background,
  // btnExit takes `exit_caption` back, btnNext is enabled and pbProgress
  // returns to 0.
  virtual void ShowUninstallEnded(std::string_view exit_caption) = 0;
};

}  // namespace cvn::uninstall
