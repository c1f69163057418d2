#include "cli/cli_commands.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <memory>

#include "changes/archive_loader.h"
#include "changes/change_tree.h"
#include "changes/export_changes.h"
#include "changes/monitored_applications.h"
#include "changes/save_changes_tree.h"
#include "cvn/version.h"
#include "engine/snapshot/snapshot_store.h"
#include "engine/threads/scan_control.h"
#include "engine/threads/worker_context.h"
#include "engine/threads/worker_thread.h"
#include "i18n/translator.h"
#include "monitoring/pending_monitoring.h"
#include "monitoring/scan_targets.h"
#include "monitoring/scan_workers.h"
#include "settings/settings.h"
#include "uninstall/uninstall_backup.h"
#include "uninstall/uninstall_log.h"
#include "uninstall/uninstall_plan.h"
#include "uninstall/uninstall_view.h"
#include "uninstall/uninstaller.h"

namespace cvn::cli {

namespace {

using changes::ChangeTree;
using changes::NodeId;
using threads::WorkerContext;

std::string InvalidFileFormat() {
  return i18n::Translate("RS_INV_FILE_FORMAT", "Invalid file format !");
}

// A usage error.
ParseResult Usage(std::string error) {
  return {std::nullopt, std::move(error)};
}

}  // namespace

ParseResult ParseArguments(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("no command given (try --help)");
  Options options;
  const std::string& name = args[0];
  size_t next = 1;
  // The identifier, for the commands that take one: it names a file.
  auto take_identifier = [&]() -> bool {
    if (next >= args.size() || args[next].empty() || args[next].starts_with("-")) return false;
    options.identifier = args[next++];
    return options.identifier.find_first_of("\\/:*?\"<>|") == std::string::npos;
  };

  if (name == "--help" || name == "-h" || name == "help") {
    options.command = Command::kHelp;
  } else if (name == "--version") {
    options.command = Command::kVersion;
  } else if (name == "start" || name == "show" || name == "run" || name == "uninstall" ||
             name == "restore" || name == "resume") {
    options.command = name == "start"       ? Command::kStart
                      : name == "show"      ? Command::kShow
                      : name == "uninstall" ? Command::kUninstall
                      : name == "restore"   ? Command::kRestore
                      : name == "resume"    ? Command::kResume
                                            : Command::kRun;
    if (!take_identifier()) return Usage(name + ": a valid application identifier is required");
  } else if (name == "finish") {
    options.command = Command::kFinish;
  } else if (name == "list") {
    options.command = Command::kList;
  } else {
    return Usage("unknown command '" + name + "' (try --help)");
  }

  const bool starts = options.command == Command::kStart || options.command == Command::kRun;
  bool resume_given = false;
  while (next < args.size()) {
    const std::string& arg = args[next++];
    // The value of an option that takes one; empty when it is missing.
    auto value = [&]() { return next < args.size() ? args[next++] : std::string(); };
    if (options.command == Command::kRun && arg == "--") {
      if (next >= args.size()) return Usage("run: the setup program is missing after '--'");
      options.setup.assign(args.begin() + static_cast<std::ptrdiff_t>(next), args.end());
      return {options, {}};
    } else if (options.command == Command::kShow && arg == "--hex") {
      options.hex = true;
    } else if (options.command == Command::kShow && arg == "--output") {
      options.output = value();
      if (options.output.empty()) return Usage("show: --output needs a file name");
    } else if ((starts || options.command == Command::kFinish) && arg == "--no-bulk") {
      options.no_bulk = true;
    } else if (starts && arg == "--at-logon") {
      options.at_logon = true;
    } else if (starts && arg == "--targets") {
      options.targets = value();
      settings::Settings check;
      if (const std::string error = monitoring::ApplyTargetList(options.targets, check);
          !error.empty())
        return Usage(name + ": --targets: " + error);
    } else if (options.command == Command::kRun && arg == "--wait") {
      const std::string mode = value();
      if (mode != "tree" && mode != "setup") return Usage("run: --wait takes tree or setup");
      options.wait.mode = mode == "tree" ? WaitMode::kTree : WaitMode::kSetup;
    } else if (options.command == Command::kRun && arg == "--timeout") {
      const std::string seconds = value();
      const bool digits = !seconds.empty() && seconds.size() <= 6 &&
                          seconds.find_first_not_of("0123456789") == std::string::npos;
      if (!digits || std::stoi(seconds) == 0)
        return Usage("run: --timeout takes a number of seconds from 1 to 999999");
      options.wait.timeout_seconds = std::stoi(seconds);
    } else if (options.command == Command::kUninstall && arg == "--yes") {
      options.yes = true;
    } else if (options.command == Command::kUninstall && arg == "--verbose") {
      options.verbose = true;
    } else if (options.command == Command::kUninstall && arg == "--dry-run") {
      options.dry_run = true;
    } else if (options.command == Command::kUninstall && arg == "--delete-changed") {
      options.delete_changed = true;
    } else if (options.command == Command::kResume && (arg == "--finish" || arg == "--rollback")) {
      if (resume_given) return Usage("resume: --finish or --rollback, once");
      resume_given = true;
      options.resume = arg == "--finish" ? ResumeMode::kFinish : ResumeMode::kRollback;
    } else if ((options.command == Command::kUninstall || options.command == Command::kResume) &&
               arg == "--shared") {
      const std::string answer = value();
      if (answer == "yes") {
        options.shared = SharedAnswer::kYes;
      } else if (answer == "no") {
        options.shared = SharedAnswer::kNo;
      } else if (answer == "ask") {
        options.shared = SharedAnswer::kAsk;
      } else {
        return Usage("uninstall: --shared takes yes, no or ask");
      }
    } else {
      return Usage(name + ": unexpected argument '" + arg + "'");
    }
  }
  if (options.command == Command::kRun)
    return Usage("run: '--' and the setup program are required");
  if (options.command == Command::kResume && !resume_given)
    return Usage("resume: --finish or --rollback is required");
  return {options, {}};
}

WaitStep NextWaitStep(const SetupWait& wait, bool setup_running, size_t others_running,
                      bool interrupted, bool timed_out) {
  if (interrupted) return setup_running ? WaitStep::kCancel : WaitStep::kStopWaiting;
  if (!setup_running && (wait.mode == WaitMode::kSetup || others_running == 0))
    return WaitStep::kDone;
  return timed_out ? WaitStep::kStopWaiting : WaitStep::kWait;
}

std::string HelpText() {
  return "Usage: corvane-cli COMMAND [OPTIONS]\n"
         "  start ID [--at-logon] [--targets LIST]  first scan of the saved targets (or LIST); "
         "the monitoring of ID is then pending\n"
         "  finish                        second scan and comparison; saves the archive of the "
         "pending monitoring\n"
         "  run ID [--at-logon] [--targets LIST] [--wait tree|setup] [--timeout SECONDS]\n"
         "        -- SETUP [ARGS...]        start, run SETUP and wait for it and what it starts "
         "(tree)\n"
         "                                or for SETUP alone (setup), then finish\n"
         "  list                          the monitored applications: name, created, last used, "
         "uses\n"
         "  show ID [--hex] [--output FILE]  the changes of ID as text, to standard output or "
         "FILE\n"
         "  uninstall ID [--yes] [--shared yes|no|ask] [--verbose] [--delete-changed]  undo the "
         "checked changes of ID;\n"
         "                                files changed since installation are kept unless "
         "--delete-changed;\n"
         "                                everything removed goes into a backup first\n"
         "  uninstall ID --dry-run        list what the uninstall would do; change nothing\n"
         "  restore ID                    put back everything the last uninstall of ID removed\n"
         "  resume ID --finish|--rollback  finish an uninstall of ID that was interrupted (a crash,\n"
         "                                a power cut), or put back what it did; every command\n"
         "                                names such an uninstall until then\n"
         "  --help                        this text\n"
         "  --version                     the version: corvane-cli VERSION\n"
         "start, finish and run take --no-bulk: read each hive key by key rather than from a\n"
         "  copy the system saves (slower; the same records).\n"
         "LIST: hives and full folder paths separated by commas, such as\n"
         "  HKLM,HKCU,C:\\Program Files,D:\\Tools (hives: HKCR, HKLM, HKU, HKCU, HKCC).\n"
         "While run waits, a first Ctrl+C once SETUP has ended stops the wait and finishes;\n"
         "another Ctrl+C stops. --timeout ends the wait SECONDS after SETUP started.\n"
         "Exit codes: 0 success, 1 uninstall ended with errors or restore incomplete, 2 wrong "
         "usage,\n"
         "3 archive or pending monitoring missing or invalid,\n"
         "4 stopped by Ctrl+C.\n";
}

namespace {

class Runner final : public monitoring::ScanObserver {
 public:
  explicit Runner(Environment& env)
      : env_(env), context_(settings_), pending_(env.fs, env.registry, env.program_folder) {
    settings_.program_folder = env.program_folder;
    context_.program_folder = env.program_folder;
    context_.windows_folder = env.windows_folder;
  }

  // The scans walk every hive key by key (--no-bulk).
  void ReadKeyByKey() { settings_.bulk_registry_read = false; }

  // Reads the settings of the window program; false (reported) when a
  // stored value has the wrong type.
  bool LoadStoredSettings() {
    try {
      settings::LoadSettings(env_.registry, settings_);
      return true;
    } catch (const settings::SettingsError& e) {
      env_.err << "corvane-cli: the setting " << e.value_name() << " has the wrong type\n";
      return false;
    }
  }

  void ChooseLanguage() {
    if (env_.choose_language && !settings_.language.empty())
      env_.choose_language(settings_.language);
  }

  std::string PathInProgramFolder(std::string_view name) const {
    std::string path = env_.program_folder;
    if (!path.empty() && !path.ends_with('\\')) path += '\\';
    return path + std::string(name);
  }

  ExitCode Start(const std::string& identifier, bool at_logon, const std::string& targets) {
    if (!targets.empty()) {
      if (const std::string error = monitoring::ApplyTargetList(targets, settings_);
          !error.empty()) {
        env_.err << "corvane-cli: --targets: " << error << "\n";
        return ExitCode::kUsage;
      }
    }
    if (monitoring::EnabledTargetCount(settings_) == 0) {
      env_.err << "corvane-cli: no scan target is enabled in the settings\n";
      return ExitCode::kUsage;
    }
    context_.current_identifier = identifier;
    progress_max_ = 5 * monitoring::EnabledTargetCount(settings_);
    progress_ = 0;
    auto* scan =
        new monitoring::FirstScanWorker(context_, env_.fs, env_.registry, dispatcher_, *this);
    if (!RunWorker(*scan, [scan] { scan->RequestStop(); })) {
      snapshot::DeleteSnapshotFiles(env_.fs, env_.program_folder);
      return ExitCode::kStopped;
    }
    if (context_.program_state != threads::ProgramState::kScanned) {
      env_.err << "corvane-cli: the first scan failed: " << status_ << "\n";
      return ExitCode::kInvalidData;
    }
    if (!pending_.Begin({identifier, targets}, at_logon, PathInProgramFolder("corvane.exe")).ok()) {
      env_.err << "corvane-cli: " << pending_.ContinuePath() << " cannot be written\n";
      return ExitCode::kInvalidData;
    }
    return ExitCode::kOk;
  }

  ExitCode Finish() {
    monitoring::Continuation continuation;
    switch (pending_.Read(&continuation)) {
      case monitoring::PendingMonitoring::State::kNone:
        env_.err << "corvane-cli: no monitoring is pending (" << pending_.ContinuePath()
                 << " is missing)\n";
        return ExitCode::kInvalidData;
      case monitoring::PendingMonitoring::State::kDamaged:
        env_.err << "corvane-cli: " << pending_.ContinuePath() << ": " << InvalidFileFormat()
                 << "\n";
        return ExitCode::kInvalidData;
      case monitoring::PendingMonitoring::State::kPending:
        break;
    }
    // The targets of the first scan, which the second must read alike.
    if (!continuation.targets.empty())
      (void)monitoring::ApplyTargetList(continuation.targets, settings_);
    const std::string& identifier = continuation.identifier;
    context_.current_identifier = identifier;
    pending_.StartSecondScan();

    ChangeTree tree(settings_);
    progress_max_ = 5 * monitoring::EnabledTargetCount(settings_);
    progress_ = progress_max_ / 5;
    auto* rescan = new monitoring::SecondScanWorker(context_, env_.fs, env_.registry, dispatcher_,
                                                    *this, tree);
    const bool ended = RunWorker(*rescan, [rescan] { rescan->RequestStop(); });
    snapshot::DeleteSnapshotFiles(env_.fs, env_.program_folder);
    if (!ended) return ExitCode::kStopped;
    if (context_.program_state != threads::ProgramState::kIdle) {
      env_.err << "corvane-cli: the second scan failed: " << status_ << "\n";
      return ExitCode::kInvalidData;
    }
    tree.MarkEmptyBranches();
    const std::string summary = Summary(tree);
    if (!summary.empty()) {
      try {
        changes::SaveChangesTree(tree, env_.fs, env_.program_folder, identifier, env_.clock);
      } catch (const changes::ArchiveFileError& e) {
        env_.err << "corvane-cli: the archive cannot be saved: " << e.what() << "\n";
        return ExitCode::kInvalidData;
      }
      env_.out << identifier << ": " << summary << "\n";
    } else {
      env_.out << identifier << ": no changes\n";
    }
    return ExitCode::kOk;
  }

  ExitCode Run(const Options& options) {
    if (ExitCode code = Start(options.identifier, options.at_logon, options.targets);
        code != ExitCode::kOk)
      return code;
    const SetupOutcome outcome =
        env_.run_setup ? env_.run_setup(options.setup, options.wait) : SetupOutcome::kNotStarted;
    if (outcome == SetupOutcome::kNotStarted) {
      env_.err << "corvane-cli: " << options.setup.front()
               << " cannot be started; the monitoring stays pending (finish it with 'finish')\n";
      return ExitCode::kUsage;
    }
    if (outcome == SetupOutcome::kCancelled || Interrupted()) {
      env_.err << "corvane-cli: stopped; the monitoring stays pending (finish it with 'finish')\n";
      return ExitCode::kStopped;
    }
    return Finish();
  }

  ExitCode List() {
    platform::Status listing;
    const std::vector<changes::MonitoredApplication> applications =
        changes::ListMonitoredApplications(env_.fs, env_.program_folder, env_.clock, &listing);
    if (!listing.ok()) {
      env_.err << "corvane-cli: " << env_.program_folder << " cannot be listed\n";
      return ExitCode::kInvalidData;
    }
    env_.out << i18n::Translate("RS_NAME", "Name") << '\t'
             << i18n::Translate("RS_CREATED", "Created") << '\t'
             << i18n::Translate("RS_LAST_USED", "Last used") << '\t'
             << i18n::Translate("RS_USES", "Uses") << "\n";
    for (const changes::MonitoredApplication& application : applications) {
      for (int column = 0; column < changes::kMonitoredColumnCount; ++column) {
        env_.out << (column == 0 ? "" : "\t")
                 << changes::ColumnText(application, column, *env_.date_format);
      }
      env_.out << '\n';
    }
    return ExitCode::kOk;
  }

  ExitCode Show(const Options& options) {
    ChangeTree tree(settings_);
    if (ExitCode code = LoadArchive(options.identifier, tree); code != ExitCode::kOk) return code;
    const changes::ExportOptions export_options{
        options.identifier, changes::FormatDateTime(env_.clock.Now(), *env_.date_format),
        options.hex};
    if (options.output.empty()) {
      env_.out << changes::ExportChangesText(tree, changes::kNoNode, export_options);
      return ExitCode::kOk;
    }
    if (!changes::ExportChanges(env_.fs, tree, changes::kNoNode, options.output, export_options)
             .ok()) {
      env_.err << "corvane-cli: " << options.output << ": "
               << i18n::Translate("RS_EXPORT_ERROR", "Exporting error !") << "\n";
      return ExitCode::kInvalidData;
    }
    return ExitCode::kOk;
  }

  // Every interrupted uninstall, on the error stream.
  void ReportUnfinished(const Options& options) {
    for (const uninstall::UnfinishedUninstall& run :
         uninstall::FindUnfinishedUninstalls(env_.fs, env_.program_folder)) {
      if (options.command == Command::kResume && run.identifier == options.identifier) continue;
      env_.err << "corvane-cli: the uninstall of " << run.identifier
               << " was interrupted; finish it with 'resume " << run.identifier
               << " --finish' or put back what it did with 'resume " << run.identifier
               << " --rollback'\n";
    }
  }

  ExitCode Restore(const Options& options) {
    const uninstall::RestoreReport report = uninstall::RestoreLastUninstall(
        env_.fs, env_.registry, env_.program_folder, options.identifier);
    return ReportRestore(options.identifier, report, "no uninstall of ");
  }

  ExitCode Resume(const Options& options) {
    std::string folder;
    for (const uninstall::UnfinishedUninstall& run :
         uninstall::FindUnfinishedUninstalls(env_.fs, env_.program_folder)) {
      if (run.identifier == options.identifier) folder = run.folder;
    }
    if (folder.empty()) {
      env_.err << "corvane-cli: no uninstall of " << options.identifier << " was interrupted\n";
      return ExitCode::kInvalidData;
    }
    if (options.resume == ResumeMode::kRollback) {
      return ReportRestore(options.identifier,
                           uninstall::PutBackAndRemove(env_.fs, env_.registry, folder),
                           "no readable backup of ");
    }
    Options finish = options;
    finish.yes = true;
    return Uninstall(finish, folder);
  }

  ExitCode ReportRestore(const std::string& identifier, const uninstall::RestoreReport& report,
                         const char* missing) {
    if (!report.found) {
      env_.err << "corvane-cli: " << missing << identifier << " can be put back\n";
      return ExitCode::kInvalidData;
    }
    for (const std::string& failure : report.failures)
      env_.err << "corvane-cli: not put back: " << failure << "\n";
    if (!report.ok()) return ExitCode::kUninstallErrors;
    env_.out << identifier << ": put back\n";
    return ExitCode::kOk;
  }

  ExitCode Uninstall(const Options& options, const std::string& continue_folder = {}) {
    ChangeTree tree(settings_);
    tree.SetUninstallMode(true);
    if (ExitCode code = LoadArchive(options.identifier, tree); code != ExitCode::kOk) return code;
    if (options.delete_changed) settings_.delete_changed = true;
    if (options.dry_run) {
      for (const std::string& item : uninstall::ListUninstallActions(
               settings_, context_.loaded_change_counts, tree,
               {env_.registry, env_.fs, env_.shell}, env_.program_folder, options.identifier))
        env_.out << item << "\n";
      return ExitCode::kOk;
    }
    if (!options.yes) {
      std::string question =
          i18n::Translate("RS_ASK_UNINSTALL", "Are you sure you want to uninstall '%s' ?");
      if (size_t at = question.find("%s"); at != std::string::npos)
        question.replace(at, 2, options.identifier);
      if (!env_.confirm || !env_.confirm(question)) {
        env_.err << "corvane-cli: uninstall of " << options.identifier
                 << " not confirmed; nothing was changed\n";
        return ExitCode::kOk;
      }
    }
    UninstallConsole view(*this, options.shared);
    uninstall::UninstallLog log(settings_, view);
    log.ShowEveryLine(options.verbose);  // Log.txt keeps what LogLevel lets through
    auto* engine =
        new uninstall::Uninstaller(context_, tree, {env_.registry, env_.fs, env_.shell}, log, view,
                                   env_.clock, dispatcher_, options.identifier);
    if (!continue_folder.empty()) engine->ContinueBackup(continue_folder);
    bool log_written = true;
    const bool ended = RunWorker(
        *engine,
        [this, engine] {
          context_.program_state = threads::ProgramState::kStopRequested;
          engine->Terminate();
        },
        [&] {
          log_written = uninstall::WriteLogFile({context_, env_.fs, env_.clock}, log, view).ok();
        });
    if (!log_written)
      env_.err << "corvane-cli: " << uninstall::LogFilePath(env_.program_folder)
               << " cannot be written\n";
    if (!ended) return ExitCode::kStopped;
    // Errors show in red; a run without any ends with the summary line,
    // which every LogLevel but 0 shows.
    const bool summary_shown = settings_.log_level != 0 || options.verbose;
    const bool failed = view.errors > 0 || (summary_shown && !view.complete);
    return failed ? ExitCode::kUninstallErrors : ExitCode::kOk;
  }

 private:
  // The log box, the status line and the shared-file question on the console.
  class UninstallConsole final : public uninstall::UninstallView {
   public:
    UninstallConsole(Runner& runner, SharedAnswer shared) : runner_(runner), shared_(shared) {}
    void SetStatus(std::string_view text) override { runner_.UpdateStatus(std::string(text)); }
    void SetProgressMax(uint32_t max) override {
      runner_.progress_max_ = static_cast<int>(max);
      runner_.progress_ = 0;
    }
    void StepProgress() override { runner_.StepProgress(); }
    void AppendLogLine(std::string_view text, uninstall::LogColor color) override {
      if (color == uninstall::LogClassColor(uninstall::LogClass::kError)) ++errors;
      if (text == i18n::Translate("RS_UNINST_NO_ERR", "Uninstall complete without errors"))
        complete = true;
      if (runner_.env_.show_progress) runner_.env_.err << "\r\x1b[K";
      runner_.env_.out << text << "\n" << std::flush;
    }
    uninstall::RemoveAnswer AskRemoveShared(std::string_view file_name,
                                            std::string_view folder) override {
      switch (shared_) {
        case SharedAnswer::kYes:
          return uninstall::RemoveAnswer::kYesToAll;
        case SharedAnswer::kNo:
          return uninstall::RemoveAnswer::kNoToAll;
        case SharedAnswer::kAsk:
          break;
      }
      const std::string question =
          "Remove the unused shared file " + std::string(folder) + std::string(file_name) + " ?";
      return runner_.env_.confirm && runner_.env_.confirm(question) ? uninstall::RemoveAnswer::kYes
                                                                    : uninstall::RemoveAnswer::kNo;
    }
    void ShowUninstallEnded(std::string_view) override {}

    int errors = 0;
    bool complete = false;

   private:
    Runner& runner_;
    SharedAnswer shared_;
  };

  bool Interrupted() const { return env_.interrupted && env_.interrupted(); }

  // Loads the archive of `identifier` into `tree`; reports what is wrong.
  ExitCode LoadArchive(const std::string& identifier, ChangeTree& tree) {
    changes::ChangesArchive archive(env_.fs, PathInProgramFolder(identifier), env_.clock);
    if (!env_.fs.GetAttributes(archive.FileName())) {
      env_.err << "corvane-cli: " << archive.FileName() << " does not exist\n";
      return ExitCode::kInvalidData;
    }
    if (!archive.Open()) {
      env_.err << "corvane-cli: " << archive.FileName() << ": " << InvalidFileFormat() << "\n";
      return ExitCode::kInvalidData;
    }
    threads::RunToEnd control;
    if (!changes::LoadChangeRecords(archive, tree, context_.loaded_change_counts, control,
                                    nullptr)) {
      env_.err << "corvane-cli: " << archive.FileName() << ": " << InvalidFileFormat() << "\n";
      return ExitCode::kInvalidData;
    }
    tree.MarkEmptyBranches();
    return ExitCode::kOk;
  }

  // Counts per kind of change, "3 files created, 1 key created"; empty when
  // the tree has no change.
  static std::string Summary(ChangeTree& tree) {
    static constexpr std::array<const char*, 14> kLabels = {"",
                                                            "keys created",
                                                            "keys deleted",
                                                            "values created",
                                                            "values changed",
                                                            "values deleted",
                                                            "counters incremented",
                                                            "folders created",
                                                            "folders deleted",
                                                            "files created",
                                                            "files changed",
                                                            "files deleted",
                                                            "files moved from",
                                                            "files moved to"};
    std::array<int, 14> counts{};
    for (NodeId n = tree.Top(); n != changes::kNoNode; n = tree.NextInSubtree(n, tree.Top()))
      if (changes::IsChangeKind(tree.Data(n).kind))
        ++counts[static_cast<size_t>(tree.Data(n).kind)];
    std::string text;
    for (size_t kind = 1; kind < counts.size(); ++kind) {
      if (counts[kind] == 0) continue;
      if (!text.empty()) text += ", ";
      text += std::to_string(counts[kind]) + " " + kLabels[kind];
    }
    return text;
  }

  // Runs a worker to its end, pumping its calls on this thread; a Ctrl+C
  // stops it as the Stop button would. `on_end` runs in its end
  // notification. False when it was stopped so.
  bool RunWorker(threads::WorkerThread& worker, const std::function<void()>& stop,
                 const std::function<void()>& on_end = {}) {
    bool ended = false;
    bool stopped = false;
    worker.SetOnTerminate([&ended, &on_end](threads::WorkerThread&) {
      if (on_end) on_end();
      ended = true;
    });
    worker.Start();
    while (!ended) {
      if (!stopped && Interrupted()) {
        stop();
        stopped = true;
      }
      dispatcher_.WaitAndProcess(100);
    }
    if (env_.show_progress) env_.err << "\n";
    return !stopped;
  }

  // ScanObserver, on this thread.
  void UpdateStatus(const std::string& text) override {
    status_ = text;
    ShowProgress();
  }
  void StepProgress() override {
    ++progress_;
    ShowProgress();
  }
  void ShowProgress() {
    if (!env_.show_progress) return;
    const int percent = progress_max_ > 0 ? progress_ * 100 / progress_max_ : 0;
    env_.err << "\r" << status_ << " " << percent << "%    " << std::flush;
  }

  Environment& env_;
  settings::Settings settings_;
  WorkerContext context_;
  monitoring::PendingMonitoring pending_;
  threads::QueueDispatcher dispatcher_;
  std::string status_;
  int progress_ = 0;
  int progress_max_ = 0;
};

}  // namespace

ExitCode Execute(const Options& options, Environment& env) {
  if (options.command == Command::kHelp) {
    env.out << HelpText();
    return ExitCode::kOk;
  }
  if (options.command == Command::kVersion) {
    env.out << "corvane-cli " << kVersion << "\n";
    return ExitCode::kOk;
  }
  Runner runner(env);
  if (!runner.LoadStoredSettings()) return ExitCode::kUsage;
  if (options.no_bulk) runner.ReadKeyByKey();
  runner.ChooseLanguage();
  runner.ReportUnfinished(options);
  switch (options.command) {
    case Command::kStart:
      return runner.Start(options.identifier, options.at_logon, options.targets);
    case Command::kFinish:
      return runner.Finish();
    case Command::kRun:
      return runner.Run(options);
    case Command::kList:
      return runner.List();
    case Command::kShow:
      return runner.Show(options);
    case Command::kUninstall:
      return runner.Uninstall(options);
    case Command::kRestore:
      return runner.Restore(options);
    case Command::kResume:
      return runner.Resume(options);
    case Command::kHelp:
    case Command::kVersion:
      break;
  }
  return ExitCode::kOk;
}

}  // namespace cvn::cli
