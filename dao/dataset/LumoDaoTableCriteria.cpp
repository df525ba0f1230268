// TLumoDaoTable: the criteria texts that key look-ups hand to the engine (one parenthesised
// clause per key field, joined by " AND "), and the key texts read as values of their fields.
//
// The name is followed by one blank and the clause ("= 7", "LIKE ..."); an empty key of a
// type other than text gives " IS NULL", so two blanks stand before it.
//
// A key text becomes part of a criterion only as a literal of its field's type: text between
// double quotes with its quotes doubled (and, for Like, its wildcards in lists of their own),
// numbers, dates, Booleans and GUIDs only once they read as such. Anything else is refused
// with the runtime's conversion error, so that no key text can add to a criterion or stand
// for a field name.

#include <cmath>

#include "dao/dataset/DaoUtils.h"
#include "dao/dataset/LumoDaoTable.h"
#include "db/Field.h"
#include "runtime/DateFormat.h"
#include "runtime/Exceptions.h"
#include "runtime/Guid.h"
#include "runtime/NumberText.h"
#include "runtime/StrUtils.h"

namespace lumo {

namespace {

bool IsTextType(TFieldType type) { return type == ftString || type == ftBlob || type == ftMemo; }

bool IsNumberType(TFieldType type) {
  switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftAutoInc: return true;
    default: return false;
  }
}

bool IsDateType(TFieldType type) { return type == ftDate || type == ftTime || type == ftDateTime; }

// The number a key text stands for, read as criteria write it ("." decimals, no thousand
// separators); EConvertError unless it is a finite number.
double KeyNumber(const std::string& text) {
  const std::string normalized = NormalizeNumberText(text);
  double number = 0;
  if (!TryStrToFloat(normalized, number, FormatSettings::Invariant()) || !std::isfinite(number)) {
    throw EConvertError("'" + text + "' is not a valid floating point value");
  }
  return number;
}

// A Boolean key: "True"/"False" in any case, or a number (0 is false).
bool KeyBoolean(const std::string& text) {
  if (SameText(Trim(text), "true")) return true;
  if (SameText(Trim(text), "false")) return false;
  double number = 0;
  if (!TryStrToFloat(NormalizeNumberText(text), number, FormatSettings::Invariant())) {
    throw EConvertError("'" + text + "' is not a valid Boolean value");
  }
  return number != 0;
}

}  // namespace

std::string TLumoDaoTable::BuildKeyCriteria(const std::vector<std::string>& names,
                                            std::vector<std::string>& texts) const {
  return BuildCriteria(names, texts, TLocateOptions{}, true);
}

std::string TLumoDaoTable::BuildLocateCriteria(const std::vector<std::string>& names,
                                               std::vector<std::string>& texts,
                                               TLocateOptions options) const {
  return BuildCriteria(names, texts, options, false);
}

std::string TLumoDaoTable::BuildCriteria(const std::vector<std::string>& names,
                                         std::vector<std::string>& texts, TLocateOptions options,
                                         bool keyCriteria) const {
  std::string criteria;
  for (size_t i = 0; i < names.size(); ++i) {
    TField& field = *FieldByName(names[i]);
    criteria += '(';
    criteria += useBrackets_ ? BracketName(names[i]) : names[i];
    criteria += ' ';
    std::string& text = texts[i];
    if (text == kNullKey) {
      criteria += "IS NULL";
    } else {
      criteria += ValueClause(field, text, options, keyCriteria);
    }
    criteria += ')';
    if (i + 1 < names.size()) criteria += " AND ";
  }
  return criteria;
}

std::string TLumoDaoTable::ValueClause(TField& field, std::string& text, TLocateOptions options,
                                       bool keyCriteria) const {
  const TFieldType type = field.DataType();
  if (IsTextType(type)) {
    if (keyCriteria) return "= \"" + EscapeQuotes(text) + "\"";
    const bool caseInsensitive = options.Contains(TLocateOption::loCaseInsensitive);
    if (caseInsensitive) text = AnsiLowerCase(text);
    if (options.Contains(TLocateOption::loPartialKey)) {
      const std::string pattern = "\"" + EscapeQuotes(EscapeLikeWildcards(text)) + "*\"";
      return caseInsensitive ? "LIKE LCASE(" + pattern + ")" : "LIKE " + pattern;
    }
    const std::string literal = "\"" + EscapeQuotes(text) + "\"";
    return caseInsensitive ? "= LCASE(" + literal + ")" : "= " + literal;
  }
  if (IsNumberType(type)) {
    if (text.empty()) return " IS NULL";
    KeyNumber(text);  // refuses what is no number
    return "= " + Trim(NormalizeNumberText(text));
  }
  if (type == ftBoolean) {
    if (text.empty()) return " IS NULL";
    return KeyBoolean(text) ? "= True" : "= False";
  }
  if (IsDateType(type)) {
    if (text.empty()) return " IS NULL";
    text = NormalizeDateText(text);
    const TDateTime value = StrToDateTime(text);
    switch (type) {
      case ftDate: return "= #" + FormatDateTime("mm\"/\"dd\"/\"yyyy", value) + "#";
      case ftTime: return "= #" + FormatDateTime("hh\":\"nn\":\"ss", value) + "#";
      default: return "= #" + FormatDateTime("mm\"/\"dd\"/\"yyyy hh\":\"nn\":\"ss", value) + "#";
    }
  }
  if (type == ftBytes) {
    if (text.empty()) return " IS NULL";
    if (IsGuidField(&field)) {
      StringToGuid(Trim(text));  // refuses what is no braced GUID
      return "= {guid " + Trim(text) + "}";
    }
    // Between quotes, its own quotes doubled: a key never ends the literal early.
    return "= \"" + EscapeQuotes(text) + "\"";
  }
  throw EDatabaseError(keyCriteria ? "Unable to build Key SQL!"
                                   : "Unable to build Lookup Key SQL!");
}

Variant TLumoDaoTable::KeyValueFor(TField& field, const std::string& text) const {
  if (text == kNullKey) return Variant::Null();
  const TFieldType type = field.DataType();
  if (IsTextType(type)) return Variant(text);
  if (text.empty()) return Variant::Null();
  if (IsNumberType(type)) return Variant(KeyNumber(text));
  if (type == ftBoolean) return Variant(KeyBoolean(text));
  if (IsDateType(type)) return Variant::FromDate(StrToDateTime(NormalizeDateText(text)));
  if (type == ftBytes && IsGuidField(&field))
    return Variant(GuidToString(StringToGuid(Trim(text))));
  return Variant(text);
}

bool TLumoDaoTable::ValueHoldsKey(TField& field, const Variant& value, const Variant& key,
                                  const std::string& keyText, bool partial) const {
  if (key.IsNull()) return value.IsNull();
  if (value.IsNull()) return false;
  const TFieldType type = field.DataType();
  // Text compares as the engine compares it: without regard to case.
  if (IsTextType(type)) {
    const std::string own = VarToStr(value);
    return partial ? StartsText(keyText, own) : AnsiSameText(own, keyText);
  }
  if (IsNumberType(type)) return value.AsDouble() == key.AsDouble();
  if (type == ftBoolean) return value.AsBoolean() == key.AsBoolean();
  if (IsDateType(type)) {
    // Dates as the engine keeps them: to the millisecond.
    return std::llround(value.AsDateTime() * kMSecsPerDay) ==
           std::llround(key.AsDateTime() * kMSecsPerDay);
  }
  return AnsiSameText(VarToStr(value), VarToStr(key));
}

}  // namespace lumo
