#include "uninstall/uninstall_log.h"

#include <cmath>
#include <cstdio>

#include "i18n/translator.h"

namespace cvn::uninstall {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Civil date of a day count since 1970-01-01 (proleptic Gregorian).
void CivilFromDays(int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

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

LogColor LogClassColor(int32_t log_class) {
  switch (log_class) {
    case lcError:
      return {255, 0, 0, false};
    case lcWarning:
      return {0, 0, 255, false};
    case lcSuccess:
      return {0, 128, 0, false};
    default:
      return {0, 0, 0, true};
  }
}

bool ShownAtLogLevel(int32_t log_level, int32_t log_class) {
  return (log_level & log_class) > 0;
}

TUninstallLog::TUninstallLog(const settings::Settings& settings, UninstallView& view)
    : settings_(settings), view_(view) {}

void TUninstallLog::AddLogLine(std::string_view line, int32_t log_class) {
  if (!ShownAtLogLevel(settings_.LogLevel, log_class)) return;
  view_.AppendLogLine(line, LogClassColor(log_class));
  lines_.emplace_back(line);
}

std::string LogFilePath(std::string_view program_folder) {
  return platform::JoinPath(program_folder, kLogFileName);
}

std::string FormatLogDateTime(double when, const platform::DateTimeFormat& format) {
  // Days since 1899-12-30 with the time of day as the fraction.
  int64_t days = static_cast<int64_t>(std::floor(when));
  int64_t seconds = std::llround((when - static_cast<double>(days)) * 86400.0);
  if (seconds >= 86400) {
    ++days;
    seconds -= 86400;
  }
  int year = 0, month = 0, day = 0;
  CivilFromDays(days - 25569, year, month, day);  // 25569: 1899-12-30 to 1970-01-01
  const int s = static_cast<int>(seconds);
  const platform::CivilDateTime civil{year, month, day, s / 3600, s / 60 % 60, s % 60};
  std::string text = format.ShortDate(civil);
  if (seconds != 0) text += ' ' + format.LongTime(civil);
  return text;
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

platform::Status WriteLogFile(const LogFileContext& target, const TUninstallLog& log,
                              UninstallView& view) {
  snapshot::WorkerContext& context = target.context;
  view.SetStatus(context.ProgramState == snapshot::psStopRequested
                     ? i18n::Translate("RS_UNINST_STOPPED", "Uninstall stopped.")
                     : i18n::Translate("RS_UNINST_COMPLETE", "Uninstall complete."));
  context.ProgramState = snapshot::psUninstalled;
  platform::Status written;
  if (context.settings.LogLevel > 0) {
    const std::string heading =
        context.CurrentIdentifier + ' ' + FormatLogDateTime(target.clock.Now(), target.format);
    written =
        AppendRunToLogFile(target.fs, LogFilePath(context.program_folder), heading, log.Lines());
  }
  view.ShowUninstallEnded(i18n::Translate("RS_EXIT", "E&xit"));
  return written;
}

}  // namespace cvn::uninstall
