#pragma once
// The text form of form descriptions, as a tree that keeps line numbers: parsing text into
// the tree and formatting a tree back into text. It knows nothing of components; the form
// reader applies a tree to components, the form writer builds one from them.
//
//   object Name: TClass          (or "object TClass" for a component without a name)
//     Prop = value               (dotted names reach nested objects: Font.Size = 8)
//     object Child: TOther
//     end
//   end
//
// Values: integers (also negative, or $hex), floats, identifiers (True/False, enumeration
// members, component and handler names), strings in single quotes ('' is a quote) joined with
// #nnn character codes and continued across lines with +, lists ( ... ), sets [a, b],
// collections < item ... end ... > and binary data { hex digits }.
//
// Errors: EFilerError whose message names the line, "Line 12: ..."; for something left open
// at the end of the text (object, item, list, set, collection) the line where it starts.

#include "runtime/Exceptions.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumo {

// An error in a form description or in applying it. A message made with a line number reads
// "Line <n>: <text>"; Line() answers 0 for one made without.
class EFilerError : public Exception {
 public:
  explicit EFilerError(std::string message) : Exception(std::move(message)) {}
  EFilerError(int line, const std::string& text)
      : Exception("Line " + std::to_string(line) + ": " + text), line_(line) {}
  int Line() const noexcept { return line_; }

 private:
  int line_ = 0;
};

enum class FormValueKind {
  kInteger,
  kFloat,
  kString,
  kIdentifier,
  kList,
  kSet,
  kCollection,
  kBinary
};

struct FormItem;

struct FormValue {
  FormValueKind kind = FormValueKind::kInteger;
  int line = 0;
  int64_t integer = 0;           // kInteger
  double number = 0;             // kFloat
  std::string text;              // kString (UTF-8), kIdentifier, kBinary (the bytes)
  std::vector<FormValue> list;   // kList
  std::vector<std::string> set;  // kSet: member names
  std::vector<FormItem> items;   // kCollection

  static FormValue Integer(int64_t value);
  static FormValue Float(double value);
  static FormValue String(std::string value);
  static FormValue Identifier(std::string name);
  static FormValue List(std::vector<FormValue> values);
  static FormValue Set(std::vector<std::string> members);
  static FormValue Collection(std::vector<FormItem> items);
  static FormValue Binary(std::string bytes);
};

struct FormProperty {
  std::string name;  // possibly dotted
  FormValue value;
  int line = 0;
};

struct FormItem {
  std::vector<FormProperty> properties;
  int line = 0;
};

struct FormObject {
  std::string name;  // empty for a component without a name
  std::string className;
  std::vector<FormProperty> properties;
  std::vector<FormObject> children;
  int line = 0;
};

// Parses one object description (surrounding blank lines allowed, nothing else after it).
FormObject ParseFormText(std::string_view text);
// Formats an object tree with two blanks of indentation per level; every line ends in LF.
// Line numbers in the tree are ignored. Long strings are split into continued parts.
std::string FormatFormText(const FormObject& root);

}  // namespace lumo
