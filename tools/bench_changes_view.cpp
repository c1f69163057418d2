// How the tree page copes with a large installation: a tree of 1,000,000
// changes (a key of 100,000 values and 900,000 files in 900 folders) shown
// on the real list control under Wine. Prints the time of each step a user
// takes, the memory the view adds per node, and, for comparison, how long a
// plain TreeView takes to take the same rows (stopped after a minute).
//
//   bench_changes_view [changes]    (default 1000000)
#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "changes/change_tree.h"
#include "platform/memory/memory_registry.h"
#include "settings/settings.h"
#include "ui/main_window.h"

using namespace cvn;
using changes::NodeKind;
using Clock = std::chrono::steady_clock;

namespace {

double Since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Add(changes::ChangeTree& tree, const std::string& path, const std::string& name, NodeKind kind,
         uint32_t root_key) {
  changes::ChangeRecord record;
  record.kind = kind;
  record.root_key = root_key;
  record.value_type = 4;
  record.path = path;
  static const uint8_t kDword[4] = {1, 0, 0, 0};
  record.after = changes::CopyBuffer(kDword);
  record.after_size = 4;
  tree.AddToTree(path, name, record);
}

// Lets the windows paint what they were asked to.
void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

double PlainTreeView(HWND parent, size_t rows, double budget_ms, size_t* filled) {
  HWND view = CreateWindowExW(
      0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT,
      0, 0, 400, 300, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  const auto start = Clock::now();
  TVINSERTSTRUCTW insert = {};
  insert.hParent = TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT;
  insert.item.pszText = const_cast<wchar_t*>(L"value 0000000");
  HTREEITEM folder = nullptr;
  size_t i = 0;
  for (; i < rows && Since(start) < budget_ms; ++i) {
    if (i % 1000 == 0) {
      insert.hParent = TVI_ROOT;
      folder = reinterpret_cast<HTREEITEM>(
          SendMessageW(view, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
      insert.hParent = folder;
    }
    SendMessageW(view, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
  }
  *filled = i;
  const double ms = Since(start);
  DestroyWindow(view);
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  const size_t changes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
  const size_t big_branch = changes / 10, per_folder = 1000;

  platform::MemoryRegistry registry;
  settings::SaveSettings(registry, settings::Settings{});
  ui::AppContext context;
  ui::MainWindow window(context, registry);
  if (!window.Create()) return 1;
  window.Show(SW_SHOWNORMAL);
  Pump();

  changes::ChangeTree& tree = window.changes_tree();
  tree.SetUninstallMode(true);
  tree.Reset();
  auto start = Clock::now();
  constexpr uint32_t kHklm = 0x80000002;
  // A created key: its check box carries the state of its 100,000 values.
  Add(tree, "HKEY_LOCAL_MACHINE\\Software", "Big", NodeKind::kKeyAdded, kHklm);
  for (size_t i = 0; i < big_branch; ++i)
    Add(tree, "HKEY_LOCAL_MACHINE\\Software\\Big", "value " + std::to_string(i),
        NodeKind::kValueAdded, kHklm);
  for (size_t i = 0; i < changes - big_branch; ++i)
    Add(tree, "C:\\Bench\\Folder " + std::to_string(i / per_folder),
        "file " + std::to_string(i) + ".dat", NodeKind::kFileAdded, 0);
  std::printf("tree of %zu changes (%zu nodes) filled in %.0f ms\n", changes, tree.NodeCount(),
              Since(start));

  ui::TreePage& page = window.tree_page();
  HWND list = page.view().hwnd();

  start = Clock::now();
  window.ShowChangesTree("Bench");
  UpdateWindow(window.hwnd());
  Pump();
  std::printf("show the tree page:          %8.1f ms   (target 500)\n", Since(start));

  start = Clock::now();
  page.OnExpandAllClick();
  UpdateWindow(list);
  Pump();
  std::printf("expand all (%zu rows, sorting every folder on the way): %8.1f ms   (target 1500)\n",
              page.commands().rows().Count(), Since(start));

  page.OnCollapseAllClick();
  Pump();
  start = Clock::now();
  page.OnExpandAllClick();
  UpdateWindow(list);
  Pump();
  std::printf("expand all again (sorted):   %8.1f ms\n", Since(start));

  // One page down, from the middle.
  page.view().SelectRow(page.commands().rows().Count() / 2);
  UpdateWindow(list);
  Pump();
  start = Clock::now();
  SendMessageW(list, WM_KEYDOWN, VK_NEXT, 0);
  const double key_ms = Since(start);
  UpdateWindow(list);
  std::printf("one page down:               %8.1f ms   (target 30; the key %.1f ms)\n",
              Since(start), key_ms);
  start = Clock::now();
  InvalidateRect(list, nullptr, FALSE);
  UpdateWindow(list);
  std::printf("repaint a page:              %8.1f ms\n", Since(start));

  // The check box of the key of 100,000 values, as Space does.
  const size_t big_row = page.commands().rows().RowOf(
      tree.FirstChild(tree.FirstChild(tree.FirstChild(tree.RegistryRoot()))));
  page.view().SelectRow(big_row);
  UpdateWindow(list);
  Pump();
  start = Clock::now();
  SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
  UpdateWindow(list);
  std::printf("toggle a branch of %zu:   %8.1f ms   (target 100)\n", big_branch, Since(start));

  start = Clock::now();
  const size_t found = page.commands().Find("no such text", changes::kNoNode, true);
  std::printf("find over the whole tree:    %8.1f ms   (target 1000)%s\n", Since(start),
              found == changes::TreeRows::kNoRow ? "" : " (found something?)");

  std::printf("memory the view adds:        %8.2f bytes per node (target 16)\n",
              static_cast<double>(page.commands().rows().MemoryBytes()) / tree.NodeCount());

  size_t filled = 0;
  const double plain = PlainTreeView(window.hwnd(), changes, 60000, &filled);
  std::printf("plain TreeView: %zu of %zu rows in %.0f ms%s\n", filled, changes, plain,
              filled < changes ? " (stopped at the minute)" : "");
  DestroyWindow(window.hwnd());
  return 0;
}
