#include "platform/memory/memory_registry.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "platform/text.h"

namespace cvn::platform {

struct MemoryRegistry::Node {
  std::string name;
  Node* parent = nullptr;
  std::weak_ptr<Node> self;  // for handles, which share ownership
  bool deleted = false;      // removed from the tree while a handle still held it
  std::vector<std::shared_ptr<Node>> children;  // sorted by name without regard to case
  std::vector<RegValue> values;                 // in the order they were first set
  bool deny_open = false;
  bool is_volatile = false;
  Status save_failure;
  uint32_t fail_values_from = UINT32_MAX;
  uint32_t fail_keys_from = UINT32_MAX;
  Status values_failure, keys_failure;
  // A link shows the keys of its target instead of its own.
  bool is_link = false;
  RootKey link_root = RootKey::kLocalMachine;
  std::string link_path;

  // The child named `name`, or the place where it would be inserted.
  std::vector<std::shared_ptr<Node>>::iterator LowerBound(std::string_view child) {
    return std::lower_bound(children.begin(), children.end(), child,
                            [](const std::shared_ptr<Node>& n, std::string_view s) {
                              return text::CompareNoCase(n->name, s) < 0;
                            });
  }
  Node* Find(std::string_view child) {
    auto it = LowerBound(child);
    return (it != children.end() && text::EqualsNoCase((*it)->name, child)) ? it->get() : nullptr;
  }
  std::vector<RegValue>::iterator FindValue(std::string_view value_name) {
    return std::find_if(values.begin(), values.end(),
                        [&](const RegValue& v) { return text::EqualsNoCase(v.name, value_name); });
  }
};

class MemoryRegistry::Key : public RegKey {
 public:
  Key(std::shared_ptr<Node> node, KeyAccess access) : node(std::move(node)), access(access) {}
  std::shared_ptr<Node> node;
  KeyAccess access;
};

namespace {

// Splits a key path into its elements. A trailing backslash is allowed;
// any other empty element makes the path invalid.
bool SplitKeyPath(std::string_view path, std::vector<std::string_view>* parts) {
  parts->clear();
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  if (path.empty()) return true;
  size_t start = 0;
  while (true) {
    const size_t end = path.find('\\', start);
    const std::string_view part =
        path.substr(start, end == std::string_view::npos ? end : end - start);
    if (part.empty()) return false;
    parts->push_back(part);
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

int RootIndex(RootKey root) {
  switch (root) {
    case RootKey::kClassesRoot:
      return 0;
    case RootKey::kCurrentUser:
      return 1;
    case RootKey::kLocalMachine:
      return 2;
    case RootKey::kUsers:
      return 3;
    case RootKey::kCurrentConfig:
      return 4;
  }
  return -1;
}

size_t CountKeys(const auto& node) {
  size_t n = 1;
  for (const auto& child : node->children) n += CountKeys(child);
  return n;
}


// UTF-8 to UTF-16 code units as the Win32 platform converts text: a
// three-byte surrogate stands for that lone unit; each byte that begins no
// sequence becomes U+FFFD.
std::u16string Utf16(std::string_view utf8) {
  std::u16string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto b0 = static_cast<uint8_t>(utf8[i]);
    const size_t length = b0 < 0x80 ? 1 : (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3
                          : (b0 & 0xF8) == 0xF0 ? 4 : 0;
    char32_t cp = 0xFFFD;
    size_t used = 1;
    if (length == 1) {
      cp = b0;
    } else if (length > 1 && i + length <= utf8.size()) {
      char32_t value = b0 & (0x7F >> length);
      bool ok = true;
      for (size_t k = 1; k < length && ok; ++k) {
        const auto b = static_cast<uint8_t>(utf8[i + k]);
        ok = (b & 0xC0) == 0x80;
        value = value << 6 | (b & 0x3F);
      }
      static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
      if (ok && value >= kSmallest[length] && value <= 0x10FFFF) {
        cp = value;
        used = length;
      }
    }
    i += used;
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

// Code units in Wine's escaped form: ASCII as it is (a backslash and the
// two `specials` escaped), control characters as C or octal escapes, the
// rest as \x and hex digits (four when a hex digit follows).
void AppendEscaped(std::u16string_view units, const char* specials, std::string& out) {
  static const char kEscapes[33] = ".......abtnvfr.............e....";
  char buffer[16];
  for (size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    const char16_t next = i + 1 < units.size() ? units[i + 1] : 0;
    if (u > 127) {
      const bool hex_follows = next < 128 && std::isxdigit(next);
      std::snprintf(buffer, sizeof buffer, hex_follows ? "\\x%04x" : "\\x%x", unsigned{u});
      out += buffer;
    } else if (u < 32) {
      if (kEscapes[u] != '.') {
        out += '\\';
        out += kEscapes[u];
      } else {
        const bool octal_follows = next >= '0' && next <= '7';
        std::snprintf(buffer, sizeof buffer, octal_follows ? "\\%03o" : "\\%o", unsigned{u});
        out += buffer;
      }
    } else {
      if (u == '\\' || u == specials[0] || u == specials[1]) out += '\\';
      out += static_cast<char>(u);
    }
  }
}

void AppendHexBytes(std::span<const uint8_t> bytes, std::string& out) {
  char buffer[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, "%02x", bytes[i]);
    out += buffer;
    if (i + 1 < bytes.size()) out += (i % 24 == 23) ? ",\\\n  " : ",";
  }
}

std::vector<uint8_t> Utf16Bytes(std::u16string_view units) {
  std::vector<uint8_t> bytes;
  for (const char16_t u : units) {
    bytes.push_back(static_cast<uint8_t>(u));
    bytes.push_back(static_cast<uint8_t>(u >> 8));
  }
  return bytes;
}

void AppendValue(const RegValue& value, std::string& out) {
  char buffer[32];
  if (value.name.empty()) {
    out += "@=";
  } else {
    out += '"';
    AppendEscaped(Utf16(value.name), "\"\"", out);
    out += "\"=";
  }
  if (regtype::IsText(value.type)) {
    const std::u16string units =
        Utf16(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()));
    if (!units.empty() && units.back() == 0) {
      if (value.type != regtype::kSz) {
        std::snprintf(buffer, sizeof buffer, "str(%x):", value.type);
        out += buffer;
      }
      out += '"';
      AppendEscaped(std::u16string_view(units).substr(0, units.size() - 1), "\"\"", out);
      out += "\"\n";
      return;
    }
    std::snprintf(buffer, sizeof buffer, "hex(%x):", value.type);
    out += buffer;
    AppendHexBytes(Utf16Bytes(units), out);
    out += '\n';
    return;
  }
  if (value.type == regtype::kDword && value.data.size() == 4) {
    const uint32_t dword = value.data[0] | uint32_t{value.data[1]} << 8 |
                           uint32_t{value.data[2]} << 16 | uint32_t{value.data[3]} << 24;
    std::snprintf(buffer, sizeof buffer, "dword:%08x\n", dword);
    out += buffer;
    return;
  }
  if (value.type == regtype::kBinary) {
    out += "hex:";
  } else {
    std::snprintf(buffer, sizeof buffer, "hex(%x):", value.type);
    out += buffer;
  }
  AppendHexBytes(value.data, out);
  out += '\n';
}

}  // namespace

MemoryRegistry::MemoryRegistry() {
  for (auto& root : roots_) {
    root = std::make_shared<Node>();
    root->self = root;
  }
}

MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::Node* MemoryRegistry::RootNode(RootKey root) {
  const int index = RootIndex(root);
  return index < 0 ? nullptr : roots_[index].get();
}

Status MemoryRegistry::Resolve(Node* from, std::string_view path, Node** node, bool follow_last) {
  std::vector<std::string_view> parts;
  if (!SplitKeyPath(path, &parts)) return Status(StatusCode::kInvalid);
  Node* current = from;
  for (size_t i = 0; i < parts.size(); ++i) {
    current = current->Find(parts[i]);
    if (current == nullptr) return Status(StatusCode::kNotFound);
    if (follow_last || i + 1 < parts.size()) {
      if (Status s = FollowLink(&current, 0); !s.ok()) return s;
    }
  }
  *node = current;
  return Status::Ok();
}

Status MemoryRegistry::FollowLink(Node** node, int depth) {
  if (!(*node)->is_link) return Status::Ok();
  // Links to links are followed a few times, as the system does; a loop fails.
  constexpr int kMostLinks = 8;
  if (depth == kMostLinks) return Status(StatusCode::kNotFound);
  Node* target = nullptr;
  Status s = Resolve(RootNode((*node)->link_root), (*node)->link_path, &target, false);
  if (!s.ok()) return s;
  *node = target;
  return FollowLink(node, depth + 1);
}

Status MemoryRegistry::Open(Node* from, std::string_view path, KeyAccess access,
                            std::unique_ptr<RegKey>* out) {
  out->reset();
  if (from == nullptr || from->deleted) return Status(StatusCode::kNotFound);
  Node* node = nullptr;
  Status s = Resolve(from, path, &node);
  if (!s.ok()) return s;
  if (node->deny_open) return Status(StatusCode::kAccessDenied, 5);
  *out = std::make_unique<Key>(node->self.lock(), access);
  return Status::Ok();
}

Status MemoryRegistry::OpenKey(RootKey root, std::string_view path, KeyAccess access,
                               std::unique_ptr<RegKey>* out) {
  std::lock_guard lock(mutex_);
  return Open(RootNode(root), path, access, out);
}

Status MemoryRegistry::OpenSubKey(RegKey& parent, std::string_view path, KeyAccess access,
                                  std::unique_ptr<RegKey>* out) {
  std::lock_guard lock(mutex_);
  return Open(static_cast<Key&>(parent).node.get(), path, access, out);
}

Status MemoryRegistry::OpenSubKeyOrLink(RegKey& parent, std::string_view name,
                                        std::unique_ptr<RegKey>* out, bool* is_link) {
  std::lock_guard lock(mutex_);
  out->reset();
  *is_link = false;
  Node* from = static_cast<Key&>(parent).node.get();
  if (from->deleted) return Status(StatusCode::kNotFound);
  Node* node = nullptr;
  if (Status s = Resolve(from, name, &node, false); !s.ok()) return s;
  if (node->deny_open) return Status(StatusCode::kAccessDenied, 5);
  *is_link = node->is_link;
  *out = std::make_unique<Key>(node->self.lock(), KeyAccess::kRead);
  return Status::Ok();
}

std::string MemoryRegistry::CurrentUserHiveName() {
  std::lock_guard lock(mutex_);
  return current_user_hive_;
}

Status MemoryRegistry::CreateKey(RootKey root, std::string_view path, KeyAccess access,
                                 std::unique_ptr<RegKey>* out, bool* created) {
  std::lock_guard lock(mutex_);
  out->reset();
  if (created != nullptr) *created = false;
  Node* current = RootNode(root);
  if (current == nullptr) return Status(StatusCode::kInvalid);
  std::vector<std::string_view> parts;
  if (!SplitKeyPath(path, &parts)) return Status(StatusCode::kInvalid);
  bool made_last = false;
  for (std::string_view part : parts) {
    if (current->deny_open) return Status(StatusCode::kAccessDenied, 5);
    Node* next = current->Find(part);
    if (next != nullptr) {
      if (Status s = FollowLink(&next, 0); !s.ok()) return s;
    }
    made_last = next == nullptr;
    if (made_last) {
      if (TakeChangeFailure()) return Status(StatusCode::kIoError);
      auto child = std::make_shared<Node>();
      child->name = std::string(part);
      child->parent = current;
      child->self = child;
      child->is_volatile = current->is_volatile;
      next = child.get();
      current->children.insert(current->LowerBound(part), std::move(child));
    }
    current = next;
  }
  if (current->deny_open) return Status(StatusCode::kAccessDenied, 5);
  if (created != nullptr) *created = made_last;
  *out = std::make_unique<Key>(current->self.lock(), access);
  return Status::Ok();
}

Status MemoryRegistry::EnumKey(RegKey& key, uint32_t index, std::string* name) {
  std::lock_guard lock(mutex_);
  const Node& node = *static_cast<Key&>(key).node;
  if (node.deleted) return Status(StatusCode::kNotFound, 1018);
  if (index >= node.fail_keys_from) return node.keys_failure;
  if (index >= node.children.size()) return Status(StatusCode::kNoMoreItems);
  *name = node.children[index]->name;
  return Status::Ok();
}

Status MemoryRegistry::EnumValue(RegKey& key, uint32_t index, size_t data_capacity, RegValue* value,
                                 size_t* needed) {
  std::lock_guard lock(mutex_);
  const Node& node = *static_cast<Key&>(key).node;
  if (node.deleted) return Status(StatusCode::kNotFound, 1018);
  if (index >= node.fail_values_from) return node.values_failure;
  if (index >= node.values.size()) return Status(StatusCode::kNoMoreItems);
  const RegValue& stored = node.values[index];
  if (needed != nullptr) *needed = stored.data.size();
  if (stored.data.size() > data_capacity) {
    value->name = stored.name;
    value->type = stored.type;
    value->data.clear();
    return Status(StatusCode::kMoreData, 234);
  }
  *value = stored;
  return Status::Ok();
}

Status MemoryRegistry::QueryValue(RegKey& key, std::string_view name, RegValue* value) {
  std::lock_guard lock(mutex_);
  Node& node = *static_cast<Key&>(key).node;
  if (node.deleted) return Status(StatusCode::kNotFound, 1018);
  auto it = node.FindValue(name);
  if (it == node.values.end()) return Status(StatusCode::kNotFound, 2);
  *value = *it;
  return Status::Ok();
}

Status MemoryRegistry::QueryInfoKey(RegKey& key, RegKeyInfo* info) {
  std::lock_guard lock(mutex_);
  const Node& node = *static_cast<Key&>(key).node;
  if (node.deleted) return Status(StatusCode::kNotFound, 1018);
  info->subkey_count = static_cast<uint32_t>(node.children.size());
  info->value_count = static_cast<uint32_t>(node.values.size());
  info->max_value_data_size = 0;
  for (const RegValue& v : node.values)
    info->max_value_data_size =
        std::max(info->max_value_data_size, static_cast<uint32_t>(v.data.size()));
  return Status::Ok();
}

Status MemoryRegistry::CheckWritable(const Key& key) const {
  if (key.node->deleted) return Status(StatusCode::kNotFound, 1018);
  if (key.access != KeyAccess::kReadWrite) return Status(StatusCode::kAccessDenied, 5);
  return Status::Ok();
}

Status MemoryRegistry::SetValue(RegKey& key, std::string_view name, uint32_t type,
                                std::span<const uint8_t> data) {
  std::lock_guard lock(mutex_);
  Key& k = static_cast<Key&>(key);
  if (Status s = CheckWritable(k); !s.ok()) return s;
  if (TakeChangeFailure()) return Status(StatusCode::kIoError);
  auto it = k.node->FindValue(name);
  if (it == k.node->values.end()) {
    k.node->values.push_back(RegValue{std::string(name), type, {}});
    it = std::prev(k.node->values.end());
  }
  it->type = type;
  it->data.assign(data.begin(), data.end());
  return Status::Ok();
}

Status MemoryRegistry::DeleteValue(RegKey& key, std::string_view name) {
  std::lock_guard lock(mutex_);
  Key& k = static_cast<Key&>(key);
  if (Status s = CheckWritable(k); !s.ok()) return s;
  auto it = k.node->FindValue(name);
  if (it == k.node->values.end()) return Status(StatusCode::kNotFound, 2);
  if (TakeChangeFailure()) return Status(StatusCode::kIoError);
  k.node->values.erase(it);
  return Status::Ok();
}

Status MemoryRegistry::DeleteKey(RegKey& parent, std::string_view path) {
  std::lock_guard lock(mutex_);
  Node* from = static_cast<Key&>(parent).node.get();
  if (from->deleted) return Status(StatusCode::kNotFound, 1018);
  if (path.empty()) return Status(StatusCode::kInvalid);  // a key cannot delete itself
  Node* node = nullptr;
  if (Status s = Resolve(from, path, &node); !s.ok()) return s;
  if (node->deny_open) return Status(StatusCode::kAccessDenied, 5);
  if (!node->children.empty()) return Status(StatusCode::kNotEmpty, 5);
  if (TakeChangeFailure()) return Status(StatusCode::kIoError);
  Node* owner = node->parent;
  auto it = owner->LowerBound(node->name);
  (*it)->deleted = true;
  owner->children.erase(it);
  return Status::Ok();
}

// Keys depth first, as Wine writes them: a key with values, without
// subkeys, or a link has a section; volatile keys are left out.
void MemoryRegistry::AppendSaved(const Node& node, const std::string& path,
                                 std::string& out) const {
  if (node.is_volatile) return;
  if (!node.values.empty() || node.children.empty() || node.is_link) {
    out += "\n[";
    AppendEscaped(Utf16(path), "[]", out);
    out += "] 0\n";
    if (node.is_link) {
      out += "#link\n";
      std::string target = "\\Registry\\";
      target += RootKeyName(node.link_root);
      target += "\\" + node.link_path;
      out += "\"SymbolicLinkValue\"=hex(6):";
      AppendHexBytes(Utf16Bytes(Utf16(target)), out);
      out += '\n';
    }
    for (const RegValue& value : node.values) AppendValue(value, out);
  }
  for (const auto& child : node.children) {
    const std::string child_path = path.empty() ? child->name : path + "\\" + child->name;
    AppendSaved(*child, child_path, out);
  }
}

bool MemoryRegistry::HoldsDeniedKey(const Node& node) const {
  if (node.deny_open) return true;
  for (const auto& child : node.children)
    if (!child->is_link && HoldsDeniedKey(*child)) return true;
  return false;
}

Status MemoryRegistry::SaveKey(RootKey root, std::string_view path, std::vector<uint8_t>* contents) {
  std::lock_guard lock(mutex_);
  contents->clear();
  // As on Windows, the classes save as the machine's.
  std::string machine_classes;
  if (root == RootKey::kClassesRoot) {
    machine_classes = MachineClassesPath(path);
    root = RootKey::kLocalMachine;
    path = machine_classes;
  }
  Node* from = RootNode(root);
  if (from == nullptr) return Status(StatusCode::kInvalid);
  Node* node = nullptr;
  if (Status s = Resolve(from, path, &node); !s.ok()) return s;
  if (!node->save_failure.ok()) return node->save_failure;
  if (HoldsDeniedKey(*node)) return Status(StatusCode::kAccessDenied, 5);
  // Paths in the file are relative to the saved key, whose own section is "[]";
  // a key path separator is written as an escaped backslash.
  std::string out = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Registry\n\n#arch=win64\n";
  std::string body;
  AppendSaved(*node, "", body);
  out += body;
  ++save_count_;
  out += saved_file_tail_;
  contents->assign(out.begin(), out.end());
  return Status::Ok();
}

void MemoryRegistry::MakeVolatile(RootKey root, std::string_view path) {
  std::lock_guard lock(mutex_);
  Node* node = nullptr;
  if (!Resolve(RootNode(root), path, &node).ok()) return;
  std::vector<Node*> pending = {node};
  while (!pending.empty()) {
    Node* n = pending.back();
    pending.pop_back();
    n->is_volatile = true;
    for (const auto& child : n->children) pending.push_back(child.get());
  }
}

void MemoryRegistry::FailSave(RootKey root, std::string_view path, Status failure) {
  std::lock_guard lock(mutex_);
  Node* node = nullptr;
  if (Resolve(RootNode(root), path, &node).ok()) node->save_failure = failure;
}

void MemoryRegistry::AppendToSavedFiles(std::string_view text) {
  std::lock_guard lock(mutex_);
  saved_file_tail_ = std::string(text);
}

size_t MemoryRegistry::SaveCount() const {
  std::lock_guard lock(mutex_);
  return save_count_;
}

void MemoryRegistry::SetCurrentUserHive(std::string_view hive) {
  std::lock_guard lock(mutex_);
  Node* users = RootNode(RootKey::kUsers);
  const std::shared_ptr<Node>& user = roots_[RootIndex(RootKey::kCurrentUser)];
  user->name = std::string(hive);
  user->parent = users;
  users->children.insert(users->LowerBound(hive), user);
  current_user_hive_ = std::string(hive);
}

void MemoryRegistry::AddLink(RootKey root, std::string_view path, RootKey target_root,
                             std::string_view target_path) {
  std::unique_ptr<RegKey> key;
  if (!CreateKey(root, path, KeyAccess::kRead, &key).ok()) return;
  std::lock_guard lock(mutex_);
  Node* node = static_cast<Key&>(*key).node.get();
  node->is_link = true;
  node->link_root = target_root;
  node->link_path = std::string(target_path);
}

void MemoryRegistry::DenyOpen(RootKey root, std::string_view path) {
  std::lock_guard lock(mutex_);
  Node* node = nullptr;
  if (Resolve(RootNode(root), path, &node).ok()) node->deny_open = true;
}

void MemoryRegistry::FailValueEnumFrom(RootKey root, std::string_view path, uint32_t index,
                                       Status failure) {
  std::lock_guard lock(mutex_);
  Node* node = nullptr;
  if (!Resolve(RootNode(root), path, &node).ok()) return;
  node->fail_values_from = index;
  node->values_failure = failure;
}

void MemoryRegistry::FailKeyEnumFrom(RootKey root, std::string_view path, uint32_t index,
                                     Status failure) {
  std::lock_guard lock(mutex_);
  Node* node = nullptr;
  if (!Resolve(RootNode(root), path, &node).ok()) return;
  node->fail_keys_from = index;
  node->keys_failure = failure;
}

void MemoryRegistry::FailChanges(size_t successes, size_t failures) {
  std::lock_guard lock(mutex_);
  changes_before_failure_ = successes;
  change_failures_ = failures;
}

bool MemoryRegistry::TakeChangeFailure() {
  if (change_failures_ == 0) return false;
  if (changes_before_failure_ > 0) {
    --changes_before_failure_;
    return false;
  }
  --change_failures_;
  return true;
}

size_t MemoryRegistry::KeyCount() const {
  std::lock_guard lock(mutex_);
  size_t n = 0;
  for (const auto& root : roots_) n += CountKeys(root);
  return n;
}

}  // namespace cvn::platform
