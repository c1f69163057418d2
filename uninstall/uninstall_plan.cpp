#include "uninstall/uninstall_plan.h"

#include "platform/platform_wrappers.h"

namespace cvn::uninstall {
namespace {

// Collects the lines and keeps every unused shared file.
class ListingView final : public UninstallView {
 public:
  void SetStatus(std::string_view) override {}
  void SetProgressMax(uint32_t) override {}
  void StepProgress() override {}
  void AppendLogLine(std::string_view text, LogColor color) override {
    if (color != LogClassColor(LogClass::kSummary)) items.push_back(ItemOfLogLine(text));
  }
  RemoveAnswer AskRemoveShared(std::string_view, std::string_view) override {
    return RemoveAnswer::kNoToAll;
  }
  void ShowUninstallEnded(std::string_view) override {}

  std::vector<std::string> items;
};

}  // namespace

std::string ItemOfLogLine(std::string_view line) {
  const size_t cut = line.rfind(" ... ");
  return std::string(cut == std::string_view::npos ? line : line.substr(0, cut));
}

std::vector<std::string> ListUninstallActions(const settings::Settings& settings,
                                              const threads::LoadedChangeCounts& counts,
                                              const changes::ChangeTree& tree,
                                              UninstallPlatform platform,
                                              std::string_view program_folder,
                                              const std::string& identifier) {
  platform::ReadOnlyFileSystem fs(platform.fs);
  platform::ReadOnlyRegistry registry(platform.registry);
  platform::ReadOnlyShell shell;
  threads::WorkerContext context(settings);
  context.program_folder = program_folder;
  context.loaded_change_counts = counts;
  ListingView view;
  UninstallLog log(settings, view);
  log.ShowEveryLine(true);
  changes::SystemClock clock;
  threads::QueueDispatcher dispatcher;
  bool ended = false;
  auto* engine = new Uninstaller(context, tree, {registry, fs, shell}, log, view, clock, dispatcher,
                                 identifier);
  engine->SetBackupEnabled(false);
  engine->SetOnTerminate([&ended](threads::WorkerThread&) { ended = true; });
  engine->Start();
  while (!ended) dispatcher.WaitAndProcess(100);
  return view.items;
}

}  // namespace cvn::uninstall
