// corvane-cli: monitoring an installation and showing what it changed from a
// script. The commands run the same workers and write the same files
// (snapshots, "Continue.dat", archives) as the window program, in the same
// program folder and with the same settings.
//
// Parsing and the commands live here, over the platform interfaces, so they
// are tested on the in-memory platform; main.cpp only wires the real one.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "changes/changes_archive.h"
#include "monitoring/pending_monitoring.h"
#include "platform/filesystem.h"
#include "platform/locale.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace cvn::cli {

enum class ExitCode : int {
  kOk = 0,
  kUninstallErrors = 1,  // also a restore that could not put everything back
  kUsage = 2,
  kInvalidData = 3,  // an archive or pending monitoring missing or invalid
  kStopped = 4,      // stopped by Ctrl+C
};

enum class Command { kHelp, kVersion, kStart, kFinish, kRun, kList, kShow, kUninstall, kRestore, kResume };

// What `resume` does with an interrupted uninstall.
enum class ResumeMode { kFinish, kRollback };

// What to do with a shared file nothing uses any more.
enum class SharedAnswer { kYes, kNo, kAsk };

// What `run` waits for: the setup program and every process it starts, or
// the setup program alone.
enum class WaitMode { kTree, kSetup };

struct SetupWait {
  WaitMode mode = WaitMode::kTree;
  int timeout_seconds = 0;  // from the setup's start; 0: no limit
};

// How the wait for a setup program ended.
enum class SetupOutcome {
  kNotStarted,
  kEnded,           // what the wait mode waits for has ended
  kStoppedWaiting,  // Ctrl+C or the time limit ended the wait: the monitoring goes on
  kCancelled,       // Ctrl+C while the setup program itself ran
};

// The wait's next step, decided a few times a second from what still runs.
// A Ctrl+C while the setup program runs cancels, as it stops a scan; once
// only processes it started remain (a desktop, an application started at
// the end of the installation), it stops the wait and the monitoring goes on.
enum class WaitStep { kWait, kDone, kStopWaiting, kCancel };
WaitStep NextWaitStep(const SetupWait& wait, bool setup_running, size_t others_running,
                      bool interrupted, bool timed_out);

struct Options {
  Command command = Command::kHelp;
  std::string identifier;
  // start, run: the start-at-logon value, so a setup that restarts the
  // computer brings the window program back to finish the monitoring
  bool at_logon = false;
  // start, run: targets for this monitoring instead of the stored ones
  std::string targets;
  // start, finish, run: every hive read key by key, none from a saved copy
  bool no_bulk = false;
  // run
  SetupWait wait;
  // show
  bool hex = false;
  std::string output;  // empty: standard output
  // uninstall
  bool yes = false;      // no confirmation question
  bool verbose = false;  // every log line, whatever LogLevel says
  SharedAnswer shared = SharedAnswer::kAsk;
  bool dry_run = false;         // list the actions, change nothing
  bool delete_changed = false;  // delete files changed since installation too
  // resume
  ResumeMode resume = ResumeMode::kFinish;
  // run: the setup program and its arguments
  std::vector<std::string> setup;
};

struct ParseResult {
  std::optional<Options> options;
  std::string error;  // one line when options is empty
};

// `args` are the arguments after the program name.
ParseResult ParseArguments(const std::vector<std::string>& args);

// The usage text: each command with one line.
std::string HelpText();

// What the commands run on.
struct Environment {
  platform::FileSystem& fs;
  platform::Registry& registry;
  platform::Shell& shell;
  const changes::Clock& clock;
  std::string program_folder;  // the folder of the executables, no trailing backslash
  std::string windows_folder;
  std::ostream& out;
  std::ostream& err;
  // Status texts and percentages on `err`: only when it is a terminal.
  bool show_progress = false;
  // True once the user pressed Ctrl+C; asked on the main thread while a
  // worker runs. May be empty.
  std::function<bool()> interrupted;
  // Runs the setup program (its path then its arguments) and waits for it as
  // `wait` says, telling the user on `err` what it still waits for.
  std::function<SetupOutcome(const std::vector<std::string>&, const SetupWait& wait)> run_setup;
  // Asks the user a yes-or-no question; false when there is nobody to ask.
  // May be empty: every answer is then no.
  std::function<bool(const std::string&)> confirm;
  // Chooses the interface language named by the settings. May be empty.
  std::function<void(const std::string&)> choose_language;
  // How dates are written: the user's short date and long time.
  const platform::DateTimeFormat* date_format = &platform::UserDateTimeFormat();
};

// Runs one parsed command; the result is the process's exit code.
ExitCode Execute(const Options& options, Environment& env);

// The start-at-logon value and the continuation file, shared with the window.
using monitoring::kContinueFile;
using monitoring::kRunKey;
using monitoring::kRunValue;

}  // namespace cvn::cli
