#include "runtime/Strings.h"

#include "runtime/StrUtils.h"

#include <algorithm>

namespace lumo {

namespace {

// Keeps a list in update mode for a scope, so that a bulk change sends one notification even
// when it ends in an exception.
class UpdateScope {
 public:
  explicit UpdateScope(TStrings& list) : list_(list) { list_.BeginUpdate(); }
  ~UpdateScope() { list_.EndUpdate(); }
  UpdateScope(const UpdateScope&) = delete;
  UpdateScope& operator=(const UpdateScope&) = delete;

 private:
  TStrings& list_;
};

bool NeedsQuotes(const std::string& text) {
  if (text.empty()) return true;
  for (char c : text) {
    if (static_cast<unsigned char>(c) <= ' ' || c == '"' || c == ',') return true;
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TStrings

int TStrings::AddObject(const std::string& text, TObject* object) {
  int index = Count();
  InsertObject(index, text, object);
  return index;
}

void TStrings::Exchange(int index1, int index2) {
  UpdateScope scope(*this);
  std::string text1 = Get(index1);
  TObject* object1 = GetObject(index1);
  Put(index1, Get(index2));
  PutObject(index1, GetObject(index2));
  Put(index2, text1);
  PutObject(index2, object1);
}

void TStrings::AddStrings(const TStrings& source) {
  UpdateScope scope(*this);
  int count = source.Count();  // fixed first: a list may add itself
  for (int i = 0; i < count; ++i) AddObject(source.Get(i), source.GetObject(i));
}

void TStrings::Assign(const TStrings& source) {
  if (&source == this) return;
  UpdateScope scope(*this);
  Clear();
  AddStrings(source);
}

bool TStrings::Equals(const TStrings& other) const {
  int count = Count();
  if (count != other.Count()) return false;
  for (int i = 0; i < count; ++i) {
    if (Get(i) != other.Get(i)) return false;
  }
  return true;
}

int TStrings::IndexOf(const std::string& text) const {
  int count = Count();
  for (int i = 0; i < count; ++i) {
    std::string line = Get(i);
    if (caseSensitive_ ? line == text : AnsiSameText(line, text)) return i;
  }
  return -1;
}

int TStrings::IndexOfName(const std::string& name) const {
  int count = Count();
  for (int i = 0; i < count; ++i) {
    std::string line = Get(i);
    size_t separator = line.find('=');
    if (separator == std::string::npos) continue;
    std::string_view lineName(line.data(), separator);
    if (caseSensitive_ ? lineName == name : AnsiSameText(lineName, name)) return i;
  }
  return -1;
}

int TStrings::IndexOfObject(const TObject* object) const {
  int count = Count();
  for (int i = 0; i < count; ++i) {
    if (GetObject(i) == object) return i;
  }
  return -1;
}

std::string TStrings::Names(int index) const {
  std::string line = Get(index);
  size_t separator = line.find('=');
  return separator == std::string::npos ? std::string() : line.substr(0, separator);
}

std::string TStrings::ValueFromIndex(int index) const {
  std::string line = Get(index);
  size_t separator = line.find('=');
  return separator == std::string::npos ? std::string() : line.substr(separator + 1);
}

std::string TStrings::Values(const std::string& name) const {
  int index = IndexOfName(name);
  return index < 0 ? std::string() : ValueFromIndex(index);
}

void TStrings::SetValue(const std::string& name, const std::string& value) {
  int index = IndexOfName(name);
  if (value.empty()) {
    if (index >= 0) Delete(index);
  } else if (index < 0) {
    Add(name + "=" + value);
  } else {
    Put(index, name + "=" + value);
  }
}

std::string TStrings::Text() const {
  std::string text;
  int count = Count();
  for (int i = 0; i < count; ++i) {
    text += Get(i);
    text += "\r\n";
  }
  return text;
}

void TStrings::SetText(std::string_view text) {
  UpdateScope scope(*this);
  Clear();
  size_t position = 0;
  while (position < text.size()) {
    size_t lineEnd = text.find_first_of("\r\n", position);
    if (lineEnd == std::string_view::npos) {
      Add(std::string(text.substr(position)));
      break;
    }
    Add(std::string(text.substr(position, lineEnd - position)));
    position = lineEnd + 1;
    if (text[lineEnd] == '\r' && position < text.size() && text[position] == '\n') ++position;
  }
}

std::string TStrings::CommaText() const {
  std::string text;
  int count = Count();
  for (int i = 0; i < count; ++i) {
    if (i > 0) text += ',';
    std::string line = Get(i);
    text += NeedsQuotes(line) ? "\"" + ReplaceAll(line, "\"", "\"\"") + "\"" : line;
  }
  return text;
}

void TStrings::SetCommaText(std::string_view text) {
  UpdateScope scope(*this);
  Clear();
  size_t position = 0;
  auto skipBlanks = [&] {
    while (position < text.size() && static_cast<unsigned char>(text[position]) <= ' ') ++position;
  };
  skipBlanks();
  while (position < text.size()) {
    std::string item;
    if (text[position] == '"') {
      ++position;
      while (position < text.size()) {
        if (text[position] == '"') {
          if (position + 1 < text.size() && text[position + 1] == '"') {
            item += '"';
            position += 2;
            continue;
          }
          ++position;
          break;
        }
        item += text[position++];
      }
    } else {
      while (position < text.size() && text[position] != ',' &&
             static_cast<unsigned char>(text[position]) > ' ') {
        item += text[position++];
      }
    }
    Add(item);
    skipBlanks();
    if (position < text.size() && text[position] == ',') {
      ++position;
      skipBlanks();
      if (position >= text.size()) Add(std::string());  // a trailing comma ends in an empty item
    }
  }
}

int TStrings::CompareStrings(std::string_view a, std::string_view b) const {
  return caseSensitive_ ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}

void TStrings::BeginUpdate() {
  if (updateCount_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0) SetUpdateState(false);
}

void TStrings::SetUpdateState(bool /*updating*/) {}

void TStrings::IndexError(int index) {
  throw EStringListError(Format("List index out of bounds (%d)", index));
}

// ---------------------------------------------------------------------------------------------
// TStringList

TStringList::TStringList(const TStringList& other)
    : TStrings(), items_(other.items_), sorted_(other.sorted_), duplicates_(other.duplicates_) {
  TStrings::SetCaseSensitive(other.CaseSensitive());
}

TStringList& TStringList::operator=(const TStringList& other) {
  if (&other == this) return *this;
  Changing();
  items_ = other.items_;
  sorted_ = other.sorted_;
  duplicates_ = other.duplicates_;
  TStrings::SetCaseSensitive(other.CaseSensitive());
  Changed();
  return *this;
}

std::string TStringList::Get(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].text;
}

void TStringList::Put(int index, const std::string& text) {
  CheckNotSorted();
  CheckIndex(index);
  Changing();
  items_[static_cast<size_t>(index)].text = text;
  Changed();
}

TObject* TStringList::GetObject(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].object;
}

void TStringList::PutObject(int index, TObject* object) {
  CheckIndex(index);
  Changing();
  items_[static_cast<size_t>(index)].object = object;
  Changed();
}

void TStringList::InsertObject(int index, const std::string& text, TObject* object) {
  CheckNotSorted();
  if (index < 0 || index > Count()) IndexError(index);
  Changing();
  items_.insert(items_.begin() + index, Item{text, object});
  Changed();
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  Changing();
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  items_.clear();
  Changed();
}

int TStringList::AddObject(const std::string& text, TObject* object) {
  int index = Count();
  if (sorted_) {
    if (Find(text, index)) {
      if (duplicates_ == Duplicates::kIgnore) return index;
      if (duplicates_ == Duplicates::kError) {
        throw EStringListError("String list does not allow duplicates");
      }
      while (index < Count() &&
             CompareStrings(items_[static_cast<size_t>(index)].text, text) == 0) {
        ++index;  // after the equal lines, so that equal lines keep the order they came in
      }
    }
  }
  Changing();
  items_.insert(items_.begin() + index, Item{text, object});
  Changed();
  return index;
}

void TStringList::Exchange(int index1, int index2) {
  CheckNotSorted();
  CheckIndex(index1);
  CheckIndex(index2);
  Changing();
  std::swap(items_[static_cast<size_t>(index1)], items_[static_cast<size_t>(index2)]);
  Changed();
}

int TStringList::IndexOf(const std::string& text) const {
  if (!sorted_) return TStrings::IndexOf(text);
  int index = 0;
  return Find(text, index) ? index : -1;
}

void TStringList::SetCaseSensitive(bool caseSensitive) {
  if (caseSensitive == CaseSensitive()) return;
  TStrings::SetCaseSensitive(caseSensitive);
  if (sorted_) Sort();
}

void TStringList::Sort() {
  Changing();
  std::stable_sort(items_.begin(), items_.end(), [this](const Item& a, const Item& b) {
    return CompareStrings(a.text, b.text) < 0;
  });
  Changed();
}

void TStringList::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  if (sorted) Sort();
  sorted_ = sorted;
}

bool TStringList::Find(const std::string& text, int& index) const {
  int low = 0;
  int high = Count();
  while (low < high) {  // first line not less than text
    int middle = low + (high - low) / 2;
    if (CompareStrings(items_[static_cast<size_t>(middle)].text, text) < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  index = low;
  return low < Count() && CompareStrings(items_[static_cast<size_t>(low)].text, text) == 0;
}

void TStringList::SetUpdateState(bool updating) {
  if (updating) {
    changingSent_ = false;
    changedPending_ = false;
    return;
  }
  bool fire = changedPending_;
  changingSent_ = false;
  changedPending_ = false;
  if (fire && onChange_) onChange_(*this);
}

void TStringList::Changing() {
  if (UpdateCount() > 0) {
    if (changingSent_) return;
    changingSent_ = true;
  }
  if (onChanging_) onChanging_(*this);
}

void TStringList::Changed() {
  if (UpdateCount() > 0) {
    changedPending_ = true;
    return;
  }
  if (onChange_) onChange_(*this);
}

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) IndexError(index);
}

void TStringList::CheckNotSorted() const {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
}

}  // namespace lumo
