#include "changes/export_changes.h"

#include "changes/changes_view.h"
#include "i18n/translator.h"

namespace cvn::changes {

namespace {

constexpr std::string_view kEol = "\r\n";
constexpr std::string_view kRule = "===============";

bool IsKeyOrFolderChange(int32_t kind) {
  return kind == nkKeyAdded || kind == nkKeyDeleted || kind == nkFolderAdded ||
         kind == nkFolderDeleted;
}

class Exporter {
 public:
  Exporter(ChangeTree& tree, const ExportOptions& options)
      : tree_(tree),
        hexa_(options.hexa),
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
    Line("  " + CellText(tree_.Data(root), kColumnName, hexa_));
    Line(std::string("  ") + std::string(kRule));
    tree_.InitNode(root);
    for (NodeId c = tree_.FirstChild(root); c != kNoNode; c = tree_.NextSibling(c)) Walk(c, "");
  }

  // The node, then its children: first the leaves that are not keys or
  // folders, then the rest.
  void Walk(NodeId node, const std::string& prefix) {
    Write(node, prefix);
    tree_.InitNode(node);
    const std::string& name = tree_.Data(node).Name;
    const std::string inner = prefix.empty() ? name : prefix + "\\" + name;
    for (int pass = 0; pass < 2; ++pass) {
      for (NodeId c = tree_.FirstChild(node); c != kNoNode; c = tree_.NextSibling(c)) {
        const bool first = tree_.ChildCount(c) == 0 && !IsKeyOrFolderChange(tree_.Data(c).Kind);
        if (first == (pass == 0)) Walk(c, inner);
      }
    }
  }

  std::string Take() { return std::move(out_); }

 private:
  std::string Marker(int32_t kind) const {
    switch (kind) {
      case nkKeyAdded: return "(+)" + reg_key_;
      case nkKeyDeleted: return "(-)" + reg_key_;
      case nkValueAdded: return "  (+)" + reg_val_;
      case nkValueChanged: return "  (*)" + reg_val_;
      case nkValueDeleted: return "  (-)" + reg_val_;
      case nkCounterIncremented:
        return "  " + i18n::Translate("RS_SH_INC", "(INCREMENTED)") + " " + reg_val_;
      case nkFolderAdded: return "(+)" + folder_;
      case nkFolderDeleted: return "(-)" + folder_;
      case nkFileAdded: return "  (+)" + file_;
      case nkFileChanged: return "  (*)" + file_;
      case nkFileDeleted: return "  (-)" + file_;
      case nkFileMovedFrom: return "  " + i18n::Translate("RS_MOVED_SOURCE", "(MOVED FROM)") + file_;
      case nkFileMovedTo: return "  " + i18n::Translate("RS_MOVED_DEST", "(MOVED TO)") + file_;
      default: return {};
    }
  }

  void Write(NodeId node, const std::string& prefix) {
    const TNodeData& data = tree_.Data(node);
    const int32_t kind = data.Kind;
    if (IsKeyOrFolderChange(kind)) {
      std::string path = prefix + "\\" + data.Name;
      Line("    " + Marker(kind) + path);
      last_printed_path_ = std::move(path);
      return;
    }
    const int image = ImageIndex(data);
    if (image != kImageDrive && image != kImagePathNode && last_printed_path_ != prefix) {
      last_printed_path_ = prefix;
      Line("    " + (kind <= nkCounterIncremented ? reg_key_ : folder_) + prefix);
    }
    const std::string name = CellText(data, kColumnName, hexa_);
    switch (kind) {
      case nkValueAdded:
      case nkCounterIncremented:
      case nkFileAdded:
      case nkFileMovedTo:
        Line("    " + Marker(kind) + name + " = " + CellText(data, kColumnAfter, hexa_));
        break;
      case nkValueDeleted:
      case nkFileDeleted:
      case nkFileMovedFrom:
        Line("    " + Marker(kind) + name + " = " + CellText(data, kColumnBefore, hexa_));
        break;
      case nkValueChanged:
      case nkFileChanged:
        Line("    " + Marker(kind) + name);
        Line("        " + CellText(data, kColumnBefore, hexa_) + " ==> " +
             CellText(data, kColumnAfter, hexa_));
        break;
      default:
        break;
    }
  }

  ChangeTree& tree_;
  bool hexa_;
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
    exporter.Line(CellText(tree.Data(tree.Top()), kColumnName, options.hexa));
    exporter.Line(kRule);
    exporter.Part(tree.FileSystemRoot());
    exporter.Part(tree.RegistryRoot());
  } else if (start == tree.FileSystemRoot() || start == tree.RegistryRoot()) {
    exporter.Part(start);
  } else {
    // The container path: the names below the branch root down to the parent.
    const NodeId parent = tree.Parent(start);
    const bool below_root = parent != tree.FileSystemRoot() && parent != tree.RegistryRoot();
    exporter.Walk(start, below_root ? tree.PathFromBranchRoot(parent) : std::string());
  }
  return exporter.Take();
}

platform::Status ExportChanges(platform::FileSystem& fs, ChangeTree& tree, NodeId start,
                               std::string_view file_name, const ExportOptions& options) {
  const std::string text = ExportChangesText(tree, start, options);
  return fs.WriteFile(file_name, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

}  // namespace cvn::changes
