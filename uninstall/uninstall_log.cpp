#include "uninstall/uninstall_log.h"

#include <cmath>
#include <cstdio>

#include "i18n/translator.h"

namespace cvn::uninstall {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// The lines of a text file, split at CR LF, LF or CR; the end of the last
// line ends no further line.
std::vector<std::string> SplitLines(const std::vector<uint8_t>& bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = static_cast<char>(bytes[i]);
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

}  // namespace

LogColor LogClassColor(LogClass log_class) {
  switch (log_class) {
    case LogClass::kError:
      return {255, 0, 0, false};
    case LogClass::kWarning:
      return {0, 0, 255, false};
    case LogClass::kSuccess:
      return {0, 128, 0, false};
    default:
      return {0, 0, 0, true};
  }
}

bool ShownAtLogLevel(int32_t log_level, LogClass log_class) {
  return (log_level & static_cast<int32_t>(log_class)) > 0;
}

UninstallLog::UninstallLog(const settings::Settings& settings, UninstallView& view)
    : settings_(settings), view_(view) {}

void UninstallLog::AddLogLine(std::string_view line, LogClass log_class) {
  const bool kept = ShownAtLogLevel(settings_.log_level, log_class);
  if (kept || show_every_line_) view_.AppendLogLine(line, LogClassColor(log_class));
  if (kept) lines_.emplace_back(line);
}

std::string LogFilePath(std::string_view program_folder) {
  return platform::JoinPath(program_folder, kLogFileName);
}

platform::Status AppendRunToLogFile(platform::FileSystem& fs, std::string_view path,
                                    std::string_view run_heading,
                                    const std::vector<std::string>& lines) {
  std::vector<std::string> file_lines;
  if (fs.GetAttributes(path)) {
    std::vector<uint8_t> bytes;
    // Starting afresh over a log that could not be read would lose it.
    if (platform::Status s = fs.ReadFile(path, &bytes); !s.ok()) return s;
    file_lines = SplitLines(bytes);
  } else {
    file_lines = {"CVN log file", "============", ""};
  }
  file_lines.emplace_back();
  file_lines.emplace_back(run_heading);
  file_lines.emplace_back(39, '-');
  file_lines.insert(file_lines.end(), lines.begin(), lines.end());
  file_lines.emplace_back();

  std::string text;
  for (const std::string& line : file_lines) {
    text += line;
    text += kLineEnd;
  }
  const auto* data = reinterpret_cast<const uint8_t*>(text.data());
  return platform::WriteFileAtomically(fs, path, {data, text.size()});
}

platform::Status WriteLogFile(const LogFileContext& target, const UninstallLog& log,
                              UninstallView& view) {
  threads::WorkerContext& context = target.context;
  view.SetStatus(context.program_state == threads::ProgramState::kStopRequested
                     ? i18n::Translate("RS_UNINST_STOPPED", "Uninstall stopped.")
                     : i18n::Translate("RS_UNINST_COMPLETE", "Uninstall complete."));
  context.program_state = threads::ProgramState::kUninstalled;
  platform::Status written;
  if (context.settings.log_level > 0) {
    const std::string heading = context.current_identifier + ' ' +
                                changes::FormatDateTime(target.clock.Now(), target.format);
    written =
        AppendRunToLogFile(target.fs, LogFilePath(context.program_folder), heading, log.Lines());
  }
  view.ShowUninstallEnded(i18n::Translate("RS_EXIT", "E&xit"));
  return written;
}

}  // namespace cvn::uninstall
