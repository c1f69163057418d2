// The uninstall log: the lines of a run as the log box shows them, filtered
// by LogLevel and coloured by class, and Log.txt in the program folder, which
// keeps one block per run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "changes/changes_archive.h"
#include "engine/threads/worker_context.h"
#include "platform/filesystem.h"
#include "platform/locale.h"
#include "platform/status.h"
#include "settings/settings.h"
#include "uninstall/uninstall_view.h"

namespace cvn::uninstall {

// Classes of a log line. LogLevel is a set of the first three; the summary
// has every bit set, so it passes any LogLevel but 0.
enum class LogClass : int32_t {
  kError = 1,
  kWarning = 2,
  kSuccess = 4,
  kSummary = -1,
};

// Red errors, blue warnings, green successes, window text for the rest.
LogColor LogClassColor(LogClass log_class);
// True when LogLevel lets a line of `log_class` through.
bool ShownAtLogLevel(int32_t log_level, LogClass log_class);

// The content of the log box. Main thread only.
class UninstallLog {
 public:
  // `settings` gives LogLevel; both must outlive the log.
  UninstallLog(const settings::Settings& settings, UninstallView& view);

  // Empties the box, at the start of an uninstall.
  void Clear() { lines_.clear(); }
  // Shows `line` in the colour of its class and keeps it, unless LogLevel
  // filters it out.
  void AddLogLine(std::string_view line, LogClass log_class);
  // Shows every line, whatever LogLevel says; what is kept for Log.txt is
  // still filtered (the command line's --verbose).
  void ShowEveryLine(bool every) { show_every_line_ = every; }
  // The lines shown since the last Clear, in order.
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  const settings::Settings& settings_;
  UninstallView& view_;
  std::vector<std::string> lines_;
  bool show_every_line_ = false;
};

inline constexpr std::string_view kLogFileName = "Log.txt";

// "<program folder>\Log.txt".
std::string LogFilePath(std::string_view program_folder);

// Appends one run to the log file at `path`: an empty line, `run_heading`,
// a line of hyphens, `lines` and an empty line; a new file starts with the
// "CVN log file" heading. Lines end with CR LF. The file is replaced
// atomically, and a file that exists but cannot be read is left alone and
// reported, so no failure loses the earlier log.
platform::Status AppendRunToLogFile(platform::FileSystem& fs, std::string_view path,
                                    std::string_view run_heading,
                                    const std::vector<std::string>& lines);

// What the end of an uninstall works with.
struct LogFileContext {
  threads::WorkerContext& context;  // ProgramState, the identifier, the program folder
  platform::FileSystem& fs;
  const changes::Clock& clock;
  const platform::DateTimeFormat& format = platform::UserDateTimeFormat();
};

// The uninstall engine's end notification, on the main thread: reports
// "Uninstall stopped." or "Uninstall complete.", moves ProgramState to
// "uninstall ended", appends the run to Log.txt unless LogLevel is 0 and
// gives the window back its idle controls. Returns the outcome of the
// Log.txt update (Ok when LogLevel is 0).
platform::Status WriteLogFile(const LogFileContext& target, const UninstallLog& log,
                              UninstallView& view);

}  // namespace cvn::uninstall
