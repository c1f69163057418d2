#include "changes/export_changes.h"

#include "changes/changes_view.h"
#include "changes/report_walk.h"
#include "i18n/translator.h"

namespace cvn::changes {

namespace {

constexpr std::string_view kEol = "\r\n";
constexpr std::string_view kRule = "===============";

class Exporter {
 public:
  Exporter(ChangeTree& tree, const ExportOptions& options)
      : tree_(tree),
        hex_(options.hex),
        reg_key_(i18n::Translate("RS_REG_KEY", "(REG KEY)") + " "),
        reg_val_(i18n::Translate("RS_REG_VAL", "(REG VAL)") + " "),
        folder_(i18n::Translate("RS_FOLDER", "(FOLDER)") + " "),
        file_(i18n::Translate("RS_FILE", "(FILE)") + " ") {}

  void Line(std::string_view text) {
    out_ += text;
    out_ += kEol;
  }

  // A part ("File System" or "Registry"): its caption, then its children.
  void Part(NodeId root) {
    Line("");
    Line("  " + CellText(tree_.Data(root), ChangeColumn::kName, hex_));
    Line(std::string("  ") + std::string(kRule));
    tree_.InitNode(root);
    for (NodeId c = tree_.FirstChild(root); c != kNoNode; c = tree_.NextSibling(c)) Walk(c, "");
  }

  // The node, then its children: first the leaves that are not keys or
  // folders, then the rest.
  void Walk(NodeId node, const std::string& prefix) {
    WalkBranch(tree_, node, prefix, [this](NodeId n, const std::string& p) { Write(n, p); });
  }

  std::string Take() { return std::move(out_); }

 private:
  std::string Marker(NodeKind kind) const {
    switch (kind) {
      case NodeKind::kKeyAdded:
        return "(+)" + reg_key_;
      case NodeKind::kKeyDeleted:
        return "(-)" + reg_key_;
      case NodeKind::kValueAdded:
        return "  (+)" + reg_val_;
      case NodeKind::kValueChanged:
        return "  (*)" + reg_val_;
      case NodeKind::kValueDeleted:
        return "  (-)" + reg_val_;
      case NodeKind::kCounterIncremented:
        return "  " + i18n::Translate("RS_SH_INC", "(INCREMENTED)") + " " + reg_val_;
      case NodeKind::kFolderAdded:
        return "(+)" + folder_;
      case NodeKind::kFolderDeleted:
        return "(-)" + folder_;
      case NodeKind::kFileAdded:
        return "  (+)" + file_;
      case NodeKind::kFileChanged:
        return "  (*)" + file_;
      case NodeKind::kFileDeleted:
        return "  (-)" + file_;
      case NodeKind::kFileMovedFrom:
        return "  " + i18n::Translate("RS_MOVED_SOURCE", "(MOVED FROM)") + file_;
      case NodeKind::kFileMovedTo:
        return "  " + i18n::Translate("RS_MOVED_DEST", "(MOVED TO)") + file_;
      default:
        return {};
    }
  }

  void Write(NodeId node, const std::string& prefix) {
    const ChangeRecord& data = tree_.Data(node);
    const NodeKind kind = data.kind;
    if (IsKeyOrFolderChange(kind)) {
      std::string path = prefix + "\\" + data.name;
      Line("    " + Marker(kind) + path);
      last_printed_path_ = std::move(path);
      return;
    }
    const int image = ImageIndex(data);
    if (image != kImageDrive && image != kImagePathNode && last_printed_path_ != prefix) {
      last_printed_path_ = prefix;
      Line("    " + (kind <= NodeKind::kCounterIncremented ? reg_key_ : folder_) + prefix);
    }
    const std::string name = CellText(data, ChangeColumn::kName, hex_);
    switch (kind) {
      case NodeKind::kValueAdded:
      case NodeKind::kCounterIncremented:
      case NodeKind::kFileAdded:
      case NodeKind::kFileMovedTo:
        Line("    " + Marker(kind) + name + " = " + CellText(data, ChangeColumn::kAfter, hex_));
        break;
      case NodeKind::kValueDeleted:
      case NodeKind::kFileDeleted:
      case NodeKind::kFileMovedFrom:
        Line("    " + Marker(kind) + name + " = " + CellText(data, ChangeColumn::kBefore, hex_));
        break;
      case NodeKind::kValueChanged:
      case NodeKind::kFileChanged:
        Line("    " + Marker(kind) + name);
        Line("        " + CellText(data, ChangeColumn::kBefore, hex_) + " ==> " +
             CellText(data, ChangeColumn::kAfter, hex_));
        break;
      default:
        break;
    }
  }

  ChangeTree& tree_;
  bool hex_;
  std::string reg_key_, reg_val_, folder_, file_;
  std::string last_printed_path_;
  std::string out_;
};

}  // namespace

std::string ExportChangesText(ChangeTree& tree, NodeId start, const ExportOptions& options) {
  Exporter exporter(tree, options);
  std::string title = i18n::Translate("RS_CHANGES", "'%s' changes");
  if (size_t at = title.find("%s"); at != std::string::npos)
    title.replace(at, 2, options.identifier);
  exporter.Line(title);
  exporter.Line("Corvane,    " + options.date_time);
  exporter.Line("");

  if (start == kNoNode || start == tree.Top()) {
    exporter.Line(CellText(tree.Data(tree.Top()), ChangeColumn::kName, options.hex));
    exporter.Line(kRule);
    exporter.Part(tree.FileSystemRoot());
    exporter.Part(tree.RegistryRoot());
  } else if (start == tree.FileSystemRoot() || start == tree.RegistryRoot()) {
    exporter.Part(start);
  } else {
    exporter.Walk(start, ContainerPath(tree, start));
  }
  return exporter.Take();
}

platform::Status ExportChanges(platform::FileSystem& fs, ChangeTree& tree, NodeId start,
                               std::string_view file_name, const ExportOptions& options) {
  const std::string text = ExportChangesText(tree, start, options);
  return fs.WriteFile(file_name, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

}  // namespace cvn::changes
