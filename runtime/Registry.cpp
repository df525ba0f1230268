#include "runtime/Registry.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>

#include "runtime/Com.h"
#include "runtime/Exceptions.h"
#include "runtime/RegistryOdbc.h"

namespace lumo {

namespace registry_detail {

std::vector<std::string> SplitRegistryPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool SameRegistryName(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str()) == 0;
}

}  // namespace registry_detail

using registry_detail::SameRegistryName;
using registry_detail::SplitRegistryPath;

// ---------------------------------------------------------------------------------------------
// RegistryTree

struct RegistryTree::Node {
  std::string name;
  std::vector<std::unique_ptr<Node>> children;
  std::vector<std::pair<std::string, std::string>> values;

  Node* Child(const std::string& childName) const {
    for (const auto& child : children) {
      if (SameRegistryName(child->name, childName)) return child.get();
    }
    return nullptr;
  }
};

RegistryTree::RegistryTree() {
  for (auto& root : roots_) root = std::make_unique<Node>();
}

RegistryTree::~RegistryTree() = default;

RegistryTree& RegistryTree::Machine() {
  static RegistryTree tree;
  return tree;
}

RegistryTree::Node* RegistryTree::Walk(RegistryRoot root, const std::vector<std::string>& parts,
                                       bool create) const {
  Node* node = roots_[static_cast<int>(root)].get();
  for (const std::string& part : parts) {
    Node* child = node->Child(part);
    if (child == nullptr) {
      if (!create) return nullptr;
      child = node->children.emplace_back(std::make_unique<Node>(Node{part, {}, {}})).get();
    }
    node = child;
  }
  return node;
}

void RegistryTree::AddKey(RegistryRoot root, const std::string& path) {
  std::lock_guard lock(mutex_);
  Walk(root, SplitRegistryPath(path), true);
}

void RegistryTree::SetValue(RegistryRoot root, const std::string& path, const std::string& name,
                            const std::string& value) {
  std::lock_guard lock(mutex_);
  Node* node = Walk(root, SplitRegistryPath(path), true);
  for (auto& [existingName, existingValue] : node->values) {
    if (SameRegistryName(existingName, name)) {
      existingValue = value;
      return;
    }
  }
  node->values.emplace_back(name, value);
}

bool RegistryTree::DeleteKey(RegistryRoot root, const std::string& path) {
  std::lock_guard lock(mutex_);
  std::vector<std::string> parts = SplitRegistryPath(path);
  if (parts.empty()) return false;
  std::string last = parts.back();
  parts.pop_back();
  Node* parent = Walk(root, parts, false);
  if (parent == nullptr) return false;
  auto found = std::find_if(parent->children.begin(), parent->children.end(),
                            [&](const auto& child) { return SameRegistryName(child->name, last); });
  if (found == parent->children.end()) return false;
  parent->children.erase(found);
  return true;
}

void RegistryTree::Clear() {
  std::lock_guard lock(mutex_);
  for (auto& root : roots_) root = std::make_unique<Node>();
}

bool RegistryTree::ReadKey(RegistryRoot root, const std::string& path,
                           RegistryKeyData& data) const {
  std::lock_guard lock(mutex_);
  const Node* node = Walk(root, SplitRegistryPath(path), false);
  if (node == nullptr) return false;
  for (const auto& child : node->children) data.keyNames.push_back(child->name);
  data.values = node->values;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Description files

namespace {

bool ParseRoot(std::string_view name, RegistryRoot& root) {
  auto is = [&](const char* text) { return SameRegistryName(std::string(name), text); };
  if (is("HKEY_LOCAL_MACHINE") || is("HKLM")) {
    root = RegistryRoot::kLocalMachine;
  } else if (is("HKEY_CURRENT_USER") || is("HKCU")) {
    root = RegistryRoot::kCurrentUser;
  } else if (is("HKEY_CLASSES_ROOT") || is("HKCR")) {
    root = RegistryRoot::kClassesRoot;
  } else {
    return false;
  }
  return true;
}

// Reads a "..." token with the export form's escapes (\\ and \") from the front of `text`.
bool TakeQuoted(std::string_view& text, std::string& out) {
  if (text.empty() || text.front() != '"') return false;
  out.clear();
  for (size_t i = 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      out.push_back(text[++i]);
    } else if (c == '"') {
      text.remove_prefix(i + 1);
      return true;
    } else {
      out.push_back(c);
    }
  }
  return false;
}

std::string_view TrimLine(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) {
    line.remove_suffix(1);
  }
  return line;
}

// Fills `tree` from the text of a description file. Lines of other forms (the header line,
// comments, deletions, non-string values) are skipped.
void ParseDescription(std::string_view text, RegistryTree& tree) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  bool inKey = false;
  RegistryRoot root = RegistryRoot::kLocalMachine;
  std::string path;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = TrimLine(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == ';') continue;

    if (line.front() == '[') {
      inKey = false;
      if (line.back() != ']' || line.size() < 3 || line[1] == '-') continue;
      std::string_view full = line.substr(1, line.size() - 2);
      size_t slash = full.find('\\');
      if (!ParseRoot(full.substr(0, slash), root)) continue;
      path = slash == std::string_view::npos ? std::string() : std::string(full.substr(slash + 1));
      tree.AddKey(root, path);
      inKey = true;
      continue;
    }
    if (!inKey) continue;
    std::string name;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else if (!TakeQuoted(line, name)) {
      continue;
    }
    line = TrimLine(line);
    if (line.empty() || line.front() != '=') continue;
    line = TrimLine(line.substr(1));
    std::string value;
    if (!TakeQuoted(line, value)) continue;
    tree.SetValue(root, path, name, value);
  }
}

// Adds what `extra` shows to `data`, keeping the first spelling of a repeated name.
void Merge(RegistryKeyData& data, RegistryKeyData&& extra) {
  for (std::string& keyName : extra.keyNames) {
    bool present = std::any_of(data.keyNames.begin(), data.keyNames.end(),
                               [&](const std::string& n) { return SameRegistryName(n, keyName); });
    if (!present) data.keyNames.push_back(std::move(keyName));
  }
  for (auto& value : extra.values) {
    bool present = std::any_of(data.values.begin(), data.values.end(), [&](const auto& v) {
      return SameRegistryName(v.first, value.first);
    });
    if (!present) data.values.push_back(std::move(value));
  }
}

bool ReadClassesKey(const std::vector<std::string>& parts, RegistryKeyData& data) {
  if (parts.empty()) {
    data.keyNames = RegisteredProgIds();
    return true;
  }
  return parts.size() == 1 && IsProgIdRegistered(parts[0]);
}

bool ReadLiveKey(RegistryRoot root, const std::string& path, RegistryKeyData& data) {
  std::vector<std::string> parts = SplitRegistryPath(path);
  bool exists = RegistryTree::Machine().ReadKey(root, path, data);
  RegistryKeyData extra;
  bool extraExists = root == RegistryRoot::kClassesRoot
                         ? ReadClassesKey(parts, extra)
                         : registry_detail::ReadOdbcKey(root, parts, extra);
  if (extraExists) Merge(data, std::move(extra));
  return exists || extraExists;
}

enum class Source { kUndecided, kLive, kDescription };

struct RegistryState {
  std::mutex mutex;
  Source source = Source::kUndecided;
  std::shared_ptr<RegistryTree> description;
};

RegistryState& State() {
  static RegistryState state;
  return state;
}

std::shared_ptr<RegistryTree> LoadDescription(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  if (in) content << in.rdbuf();
  if (!in || in.bad()) throw Exception("Cannot read the registry description file " + path);
  auto tree = std::make_shared<RegistryTree>();
  ParseDescription(content.str(), *tree);
  return tree;
}

// Chooses the source LUMO_REGISTRY asks for; the caller holds the state's lock.
void DecideFromEnvironment(RegistryState& state) {
  const char* file = std::getenv("LUMO_REGISTRY");
  if (file != nullptr && *file != '\0') {
    state.description = LoadDescription(file);
    state.source = Source::kDescription;
  } else {
    state.description.reset();
    state.source = Source::kLive;
  }
}

// The description tree to answer from, or null for the live registry. The first use decides
// from LUMO_REGISTRY when no choice was made before.
std::shared_ptr<RegistryTree> CurrentDescription() {
  RegistryState& state = State();
  std::lock_guard lock(state.mutex);
  if (state.source == Source::kUndecided) DecideFromEnvironment(state);
  return state.source == Source::kDescription ? state.description : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Registry

void Registry::UseDescriptionFile(const std::string& path) {
  std::shared_ptr<RegistryTree> tree = LoadDescription(path);
  RegistryState& state = State();
  std::lock_guard lock(state.mutex);
  state.description = std::move(tree);
  state.source = Source::kDescription;
}

void Registry::UseLiveRegistry() {
  RegistryState& state = State();
  std::lock_guard lock(state.mutex);
  state.description.reset();
  state.source = Source::kLive;
}

void Registry::UseEnvironment() {
  RegistryState& state = State();
  std::lock_guard lock(state.mutex);
  DecideFromEnvironment(state);
}

bool Registry::UsesDescriptionFile() { return CurrentDescription() != nullptr; }

bool Registry::ReadKey(RegistryRoot root, const std::string& path, RegistryKeyData& data) {
  data = RegistryKeyData();
  std::shared_ptr<RegistryTree> description = CurrentDescription();
  if (description != nullptr) return description->ReadKey(root, path, data);
  return ReadLiveKey(root, path, data);
}

// ---------------------------------------------------------------------------------------------
// TRegistry

bool TRegistry::OpenKeyReadOnly(RegistryRoot root, const std::string& path) {
  CloseKey();
  RegistryKeyData data;
  if (!Registry::ReadKey(root, path, data)) return false;
  current_ = std::move(data);
  currentPath_ = path;
  open_ = true;
  return true;
}

bool TRegistry::KeyExists(RegistryRoot root, const std::string& path) const {
  RegistryKeyData data;
  return Registry::ReadKey(root, path, data);
}

void TRegistry::CloseKey() {
  open_ = false;
  currentPath_.clear();
  current_ = RegistryKeyData();
}

std::vector<std::string> TRegistry::GetKeyNames() const { return current_.keyNames; }

std::vector<std::string> TRegistry::GetValueNames() const {
  std::vector<std::string> names;
  names.reserve(current_.values.size());
  for (const auto& value : current_.values) names.push_back(value.first);
  return names;
}

bool TRegistry::ValueExists(const std::string& name) const {
  return std::any_of(current_.values.begin(), current_.values.end(),
                     [&](const auto& value) { return SameRegistryName(value.first, name); });
}

std::string TRegistry::ReadString(const std::string& name) const {
  for (const auto& value : current_.values) {
    if (SameRegistryName(value.first, name)) return value.second;
  }
  return std::string();
}

}  // namespace lumo
