#include "literal_compare.h"

#include <cstring>
#include <string_view>

#include "engine/compare/compare_reg.h"
#include "engine/compare/file_info.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace cvn::compare::literal {

using changes::Buffer;
using changes::TNodeData;
using snapshot::TNode;
using snapshot::TValori;

namespace {

const TNode* FindNode(const TNode* list, std::string_view name) {
  for (const TNode* n = list; n != nullptr; n = n->Next)
    if (text::EqualsNoCase(n->Name, name)) return n;
  return nullptr;
}

const TValori* FindValue(const TValori* list, std::string_view name) {
  for (const TValori* v = list; v != nullptr; v = v->Next)
    if (text::EqualsNoCase(v->Name, name)) return v;
  return nullptr;
}

bool BytesEqual(const TValori& a, const TValori& b) {
  if (a.Size != b.Size) return false;
  for (uint32_t i = 0; i < a.Size; ++i)
    if (a.Data[i] != b.Data[i]) return false;
  return true;
}

Buffer InfoBuffer(const TValori& file, const platform::DateTimeSeparators& separators,
                  int32_t* size) {
  const std::string info = FileInfoText(file.Bytes(), separators);
  *size = static_cast<int32_t>(info.size() + 1);
  return changes::TextBuffer(info);
}

void ReportFile(changes::ChangeSink& sink, const platform::DateTimeSeparators& separators,
                const std::string& folder, const TValori& f, bool deleted) {
  TNodeData record;
  record.Path = folder;
  if (deleted) {
    record.Kind = changes::nkFileDeleted;
    record.Before = InfoBuffer(f, separators, &record.BeforeSize);
  } else {
    record.Kind = changes::nkFileAdded;
    record.After = InfoBuffer(f, separators, &record.AfterSize);
  }
  sink.AddToTree(folder, f.Name, record);
}

Buffer Copy(const TValori& v) {
  return changes::CopyBuffer(v.Bytes());
}

int32_t TextNumber(const TValori& v) {
  size_t length = 0;
  while (length < v.Size && v.Data[length] != 0) ++length;
  return CounterTextValue(std::string_view(reinterpret_cast<const char*>(v.Data), length));
}

uint32_t Dword(const TValori& v) {
  uint8_t bytes[4] = {0, 0, 0, 0};
  if (v.Size > 0) std::memcpy(bytes, v.Data, v.Size < 4 ? v.Size : 4);
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}

Buffer Delta(uint32_t delta) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(delta), static_cast<uint8_t>(delta >> 8),
                            static_cast<uint8_t>(delta >> 16), static_cast<uint8_t>(delta >> 24)};
  return changes::CopyBuffer(bytes);
}

bool FileExists(platform::FileSystem& fs, std::string_view path) {
  const auto attributes = fs.GetAttributes(path);
  return attributes && (*attributes & platform::attr::kDirectory) == 0;
}

}  // namespace

void CompareFS(snapshot::ScanControl& thread, changes::ChangeSink& sink,
               const platform::DateTimeSeparators& separators, const TNode* a, const TNode* b,
               const std::string& path, bool deleted) {
  const TNode* n = a;
  while (n != nullptr && !thread.CancelRequested()) {
    const TNode* m = FindNode(b, n->Name);
    const std::string folder = path + std::string(n->Name);
    if (m == nullptr) {
      TNodeData record;
      record.Kind = deleted ? changes::nkFolderDeleted : changes::nkFolderAdded;
      const std::string path_field = path.substr(0, path.empty() ? 0 : path.size() - 1);
      record.Path = path_field;
      sink.AddToTree(path, n->Name, record);
      for (const TValori* f = n->Values; f != nullptr; f = f->Next)
        ReportFile(sink, separators, folder, *f, deleted);
      CompareFS(thread, sink, separators, n->Child, nullptr, folder + "\\", deleted);
    } else {
      for (const TValori* f = n->Values; f != nullptr; f = f->Next) {
        const TValori* g = FindValue(m->Values, f->Name);
        if (g == nullptr) {
          ReportFile(sink, separators, folder, *f, deleted);
        } else if (!deleted && !BytesEqual(*f, *g)) {
          TNodeData record;
          record.Kind = changes::nkFileChanged;
          record.Path = folder;
          record.Before = InfoBuffer(*g, separators, &record.BeforeSize);
          record.After = InfoBuffer(*f, separators, &record.AfterSize);
          sink.AddToTree(folder, f->Name, record);
        }
        thread.CheckPause();
      }
      CompareFS(thread, sink, separators, n->Child, m->Child, folder + "\\", deleted);
    }
    thread.CheckPause();
    n = n->Next;
  }
}

void CompareReg(snapshot::ScanControl& thread, changes::ChangeSink& sink, platform::FileSystem& fs,
                uint32_t root, const TNode* a, const TNode* b, const std::string& path,
                bool deleted) {
  const std::string r(platform::RootKeyName(root));
  const TNode* n = a;
  while (n != nullptr && !thread.CancelRequested()) {
    const TNode* m = FindNode(b, n->Name);
    const std::string k = path.empty() ? std::string(n->Name) : path + "\\" + std::string(n->Name);
    const std::string rk = r + "\\" + k;
    if (m == nullptr) {
      TNodeData record;
      record.Kind = deleted ? changes::nkKeyDeleted : changes::nkKeyAdded;
      record.RootKey = root;
      const size_t k_cut = k.rfind('\\');
      const std::string k_container = k_cut == std::string::npos ? "" : k.substr(0, k_cut);
      record.Path = k_container;
      const size_t cut = rk.rfind('\\');
      sink.AddToTree(rk.substr(0, cut), rk.substr(cut + 1), record);
      for (const TValori* v = n->Values; v != nullptr; v = v->Next) {
        TNodeData value;
        value.RootKey = root;
        value.Path = k;
        value.ValueType = v->ValueType;
        if (deleted) {
          value.Kind = changes::nkValueDeleted;
          value.Before = Copy(*v);
          value.BeforeSize = static_cast<int32_t>(v->Size);
        } else {
          value.Kind = changes::nkValueAdded;
          value.After = Copy(*v);
          value.AfterSize = static_cast<int32_t>(v->Size);
        }
        sink.AddToTree(rk, v->Name, value);
        thread.CheckPause();
      }
      CompareReg(thread, sink, fs, root, n->Child, nullptr, k, deleted);
    } else {
      const bool counter_key = root == 0x80000002u && text::EqualsNoCase(k, kSharedDllsKey);
      for (const TValori* v = n->Values; v != nullptr; v = v->Next) {
        const TValori* w = FindValue(m->Values, v->Name);
        TNodeData record;
        record.RootKey = root;
        record.Path = k;
        if (w == nullptr && deleted) {
          record.Kind = changes::nkValueDeleted;
          record.ValueType = v->ValueType;
          record.Before = Copy(*v);
          record.BeforeSize = static_cast<int32_t>(v->Size);
          sink.AddToTree(rk, v->Name, record);
        } else if (w == nullptr) {
          record.Kind = changes::nkValueAdded;
          if (counter_key && FileExists(fs, v->Name) && (v->ValueType == 1 || v->ValueType == 4))
            record.Kind = changes::nkCounterIncremented;
          record.ValueType = v->ValueType;
          record.After = Copy(*v);
          record.AfterSize = static_cast<int32_t>(v->Size);
          sink.AddToTree(rk, v->Name, record);
        } else if (!deleted) {
          const bool equal =
              v->Size == w->Size && v->ValueType == w->ValueType && BytesEqual(*v, *w);
          if (!equal) {
            record.ValueType = w->ValueType;
            record.Before = Copy(*w);
            record.BeforeSize = static_cast<int32_t>(w->Size);
            record.After = Copy(*v);
            record.AfterSize = static_cast<int32_t>(v->Size);
            record.Kind = changes::nkValueChanged;
            if (counter_key && FileExists(fs, v->Name)) {
              if (w->ValueType == 1) {
                record.Kind = changes::nkCounterIncremented;
                record.ValueType = 4;
                record.After = Delta(static_cast<uint32_t>(TextNumber(*v)) -
                                     static_cast<uint32_t>(TextNumber(*w)));
                record.AfterSize = 4;
              } else if (w->ValueType == 4) {
                record.Kind = changes::nkCounterIncremented;
                record.After = Delta(Dword(*v) - Dword(*w));
                record.AfterSize = 4;
              }
            }
            sink.AddToTree(rk, v->Name, record);
          }
        }
        thread.CheckPause();
      }
      CompareReg(thread, sink, fs, root, n->Child, m->Child, k, deleted);
    }
    thread.CheckPause();
    n = n->Next;
  }
}

bool FindMovedTarget(changes::ChangeTree& tree, changes::NodeId node, const TNodeData& deleted) {
  const TNodeData& m = tree.Data(node);
  if (m.Kind == changes::nkFileAdded && m.Name == deleted.Name &&
      changes::ZeroTerminatedText(m.After.get(), m.AfterSize) ==
          changes::ZeroTerminatedText(deleted.Before.get(), deleted.BeforeSize)) {
    tree.SetKind(node, changes::nkFileMovedTo);
    return true;
  }
  for (changes::NodeId c = tree.FirstChild(node); c != changes::kNoNode; c = tree.NextSibling(c))
    if (FindMovedTarget(tree, c, deleted)) return true;
  return false;
}

void DetectMoved(snapshot::ScanControl& thread, changes::ChangeTree& tree, changes::NodeId node) {
  if (tree.Data(node).Kind == changes::nkFileDeleted &&
      FindMovedTarget(tree, tree.FileSystemRoot(), tree.Data(node))) {
    tree.SetKind(node, changes::nkFileMovedFrom);
  }
  for (changes::NodeId c = tree.FirstChild(node); c != changes::kNoNode && !thread.Terminated();
       c = tree.NextSibling(c)) {
    DetectMoved(thread, tree, c);
    thread.CheckPause();
  }
}

}  // namespace cvn::compare::literal
