#pragma once
// String lists: TStrings, the interface with the algorithms every list shares (name=value
// access, text and comma text forms, search, assignment), and TStringList, the list that
// stores its lines. Every line carries an object slot: a non-owning TObject pointer that the
// list never dereferences or frees.
//
// Case: searches (IndexOf, IndexOfName, Values, sorting) ignore case unless CaseSensitive is
// set; the comparison is the locale-aware one of StrUtils.
// Errors: EStringListError for an index out of range, for changing the order of a sorted
// list, and for a duplicate added to a sorted list that refuses duplicates.
// Change notification: TStringList fires OnChanging before and OnChange after every change.
// Between BeginUpdate and the matching EndUpdate it fires OnChanging once before the first
// change and OnChange once at the final EndUpdate, and neither when nothing changed.

#include "runtime/Exceptions.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lumo {

class TObject;

class EStringListError : public Exception {
 public:
  using Exception::Exception;
};

class TStrings {
 public:
  virtual ~TStrings() = default;

  // --- storage, supplied by the concrete list ---
  virtual int Count() const = 0;
  virtual std::string Get(int index) const = 0;
  virtual void Put(int index, const std::string& text) = 0;
  virtual TObject* GetObject(int index) const = 0;
  virtual void PutObject(int index, TObject* object) = 0;
  virtual void InsertObject(int index, const std::string& text, TObject* object) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;

  // --- shared algorithms ---
  std::string Strings(int index) const { return Get(index); }
  std::string operator[](int index) const { return Get(index); }
  TObject* Objects(int index) const { return GetObject(index); }
  bool IsEmpty() const { return Count() == 0; }

  // Appends (a sorted list inserts at the sorted position); answers the line's index.
  int Add(const std::string& text) { return AddObject(text, nullptr); }
  virtual int AddObject(const std::string& text, TObject* object);
  void Insert(int index, const std::string& text) { InsertObject(index, text, nullptr); }
  virtual void Exchange(int index1, int index2);
  void AddStrings(const TStrings& source);
  // Replaces the lines and objects by the source's (one change notification).
  virtual void Assign(const TStrings& source);
  // Same lines in the same order (objects are not compared).
  bool Equals(const TStrings& other) const;

  // Searches answer -1 when nothing matches.
  virtual int IndexOf(const std::string& text) const;
  int IndexOfName(const std::string& name) const;
  int IndexOfObject(const TObject* object) const;

  // Name=value lines: the name is the text before the first "=", empty for a line without
  // one; the value the text after it.
  std::string Names(int index) const;
  std::string ValueFromIndex(int index) const;
  // The value of the first line with that name; empty when there is none.
  std::string Values(const std::string& name) const;
  // Sets the value of the first line with that name, appending a line when there is none;
  // an empty value removes the line.
  void SetValue(const std::string& name, const std::string& value);

  // Every line followed by CR LF. Setting splits at CR LF, LF or CR; a final line break does
  // not start another line.
  std::string Text() const;
  void SetText(std::string_view text);
  // Lines separated by commas; a line that is empty or holds a blank, a control character, a
  // comma or a double quote is written between double quotes with inner quotes doubled.
  // Setting splits at commas and at blanks outside quotes.
  std::string CommaText() const;
  void SetCommaText(std::string_view text);

  bool CaseSensitive() const { return caseSensitive_; }
  virtual void SetCaseSensitive(bool caseSensitive) { caseSensitive_ = caseSensitive; }
  // <0, 0, >0 under the list's case rule.
  int CompareStrings(std::string_view a, std::string_view b) const;

  // Nested; notifications of a list are held back until the outermost EndUpdate.
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

 protected:
  // Called when the outermost update begins (true) and ends (false).
  virtual void SetUpdateState(bool updating);
  [[noreturn]] static void IndexError(int index);

 private:
  int updateCount_ = 0;
  bool caseSensitive_ = false;
};

enum class Duplicates { kIgnore, kAccept, kError };

class TStringList : public TStrings {
 public:
  using ChangeHook = std::function<void(TStringList& sender)>;

  TStringList() = default;
  // Copies lines, objects and the sort settings; never the change hooks, which belong to the
  // list's owner.
  TStringList(const TStringList& other);
  TStringList& operator=(const TStringList& other);

  int Count() const override { return static_cast<int>(items_.size()); }
  std::string Get(int index) const override;
  void Put(int index, const std::string& text) override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* object) override;
  void InsertObject(int index, const std::string& text, TObject* object) override;
  void Delete(int index) override;
  void Clear() override;
  int AddObject(const std::string& text, TObject* object) override;
  void Exchange(int index1, int index2) override;
  int IndexOf(const std::string& text) const override;
  void SetCaseSensitive(bool caseSensitive) override;

  // Sorting under the list's case rule; a stable sort, so equal lines keep their order.
  void Sort();
  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  Duplicates DuplicatesMode() const { return duplicates_; }
  void SetDuplicates(Duplicates duplicates) { duplicates_ = duplicates; }
  // Binary search of a sorted list: true when found; index is the match or the insertion place.
  bool Find(const std::string& text, int& index) const;

  void SetOnChange(ChangeHook hook) { onChange_ = std::move(hook); }
  void SetOnChanging(ChangeHook hook) { onChanging_ = std::move(hook); }

 protected:
  void SetUpdateState(bool updating) override;
  void Changing();
  void Changed();

 private:
  struct Item {
    std::string text;
    TObject* object = nullptr;
  };
  void CheckIndex(int index) const;
  void CheckNotSorted() const;

  std::vector<Item> items_;
  bool sorted_ = false;
  Duplicates duplicates_ = Duplicates::kIgnore;
  ChangeHook onChange_;
  ChangeHook onChanging_;
  bool changingSent_ = false;    // OnChanging already fired in the current update
  bool changedPending_ = false;  // a change happened in the current update
};

}  // namespace lumo
