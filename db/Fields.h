#pragma once
// The typed field classes, their binary forms, and TFields (a dataset's ordered field list).
//
// Binary forms (what GetData fills and SetData reads):
//   TStringField                 UTF-8 text + one zero byte; DataSize = Size*4 + 1 (Size
//                                counts characters; a longer text is cut at a character
//                                boundary without error)
//   TSmallint/TInteger/TWord/TAutoInc  int32_t
//   TBooleanField                int16_t, 0 or not 0
//   TFloat/TCurrency/TBCDField   double
//   TDateField                   int32_t day number (1 Jan 0001 = 1)
//   TTimeField                   int32_t milliseconds since midnight
//   TDateTimeField               double, milliseconds since day 1 (TimeStampToMSecs)
//   TBytes/TVarBytesField        Size raw bytes
//   blob fields                  none: read and written through the dataset's blob streams
//
// Texts: dates and times show in the runtime's default date-time text (DateTimeToStr and
// friends), floats as FloatToStr, booleans "True"/"False".

#include "db/Field.h"
#include "db/Stream.h"

#include <memory>
#include <vector>

namespace lumo {

class TStringField : public TField {
 public:
  explicit TStringField(TComponent* owner);
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;
  int32_t DataSize() const override { return Size() * 4 + 1; }
  bool FixedChar() const noexcept { return fixedChar_; }
  void SetFixedChar(bool value) { fixedChar_ = value; }

 protected:
  int32_t DefaultDisplayWidth() const override { return Size(); }
  Variant ReadAsVariant() const override;
  void WriteAsVariant(const Variant& value) override;
  std::string ReadAsString() const override;
  void WriteAsString(const std::string& value) override;
  int32_t ReadAsInteger() const override;
  void WriteAsInteger(int32_t value) override;
  double ReadAsFloat() const override;
  void WriteAsFloat(double value) override;
  bool ReadAsBoolean() const override;
  void WriteAsBoolean(bool value) override;
  TDateTime ReadAsDateTime() const override;
  void WriteAsDateTime(TDateTime value) override;

 private:
  bool fixedChar_ = false;
};

// Integer family: TSmallintField, TWordField, TAutoIncField narrow the accepted range.
class TIntegerField : public TField {
 public:
  explicit TIntegerField(TComponent* owner);
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;
  int32_t DataSize() const override { return 4; }
  int32_t MinValue() const noexcept { return minValue_; }
  int32_t MaxValue() const noexcept { return maxValue_; }

 protected:
  void SetRange(int32_t minimum, int32_t maximum) {
    minValue_ = minimum;
    maxValue_ = maximum;
  }
  Variant ReadAsVariant() const override;
  void WriteAsVariant(const Variant& value) override;
  std::string ReadAsString() const override;
  void WriteAsString(const std::string& value) override;
  int32_t ReadAsInteger() const override;
  void WriteAsInteger(int32_t value) override;
  double ReadAsFloat() const override;
  void WriteAsFloat(double value) override;
  bool ReadAsBoolean() const override;
  void WriteAsBoolean(bool value) override;

 private:
  int32_t minValue_;
  int32_t maxValue_;
};

class TSmallintField : public TIntegerField {
 public:
  explicit TSmallintField(TComponent* owner);
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;
};

class TWordField : public TIntegerField {
 public:
  explicit TWordField(TComponent* owner);
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;
};

class TAutoIncField : public TIntegerField {
 public:
  explicit TAutoIncField(TComponent* owner);
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;
};

class TBooleanField : public TField {
 public:
  explicit TBooleanField(TComponent* owner);
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;
  int32_t DataSize() const override { return 2; }

 protected:
  int32_t DefaultDisplayWidth() const override { return 5; }
  Variant ReadAsVariant() const override;
  void WriteAsVariant(const Variant& value) override;
  std::string ReadAsString() const override;
  void WriteAsString(const std::string& value) override;
  int32_t ReadAsInteger() const override;
  void WriteAsInteger(int32_t value) override;
  bool ReadAsBoolean() const override;
  void WriteAsBoolean(bool value) override;
};

class TFloatField : public TField {
 public:
  explicit TFloatField(TComponent* owner);
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;
  int32_t DataSize() const override { return 8; }
  int32_t Precision() const noexcept { return precision_; }
  void SetPrecision(int32_t value) { precision_ = value; }
  bool Currency() const noexcept { return currency_; }
  void SetCurrency(bool value) { currency_ = value; }

 protected:
  Variant ReadAsVariant() const override;
  void WriteAsVariant(const Variant& value) override;
  std::string ReadAsString() const override;
  void WriteAsString(const std::string& value) override;
  int32_t ReadAsInteger() const override;
  void WriteAsInteger(int32_t value) override;
  double ReadAsFloat() const override;
  void WriteAsFloat(double value) override;

 private:
  int32_t precision_ = 15;
  bool currency_ = false;
};

class TCurrencyField : public TFloatField {
 public:
  explicit TCurrencyField(TComponent* owner);
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;
};

class TBCDField : public TFloatField {
 public:
  explicit TBCDField(TComponent* owner);
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;
};

// Date, time and date-time share the conversions; the binary form differs by type.
class TDateTimeField : public TField {
 public:
  explicit TDateTimeField(TComponent* owner);
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;
  int32_t DataSize() const override;
  const std::string& DisplayFormat() const noexcept { return displayFormat_; }
  void SetDisplayFormat(const std::string& format) { displayFormat_ = format; }

 protected:
  int32_t DefaultDisplayWidth() const override { return 18; }
  Variant ReadAsVariant() const override;
  void WriteAsVariant(const Variant& value) override;
  std::string ReadAsString() const override;
  void WriteAsString(const std::string& value) override;
  double ReadAsFloat() const override;
  void WriteAsFloat(double value) override;
  TDateTime ReadAsDateTime() const override;
  void WriteAsDateTime(TDateTime value) override;
  std::string GetTextValue(bool displayText) const override;

 private:
  // The stored value, when the dataset hands one over (false: null, or nothing readable).
  bool FetchTimeStamp(TTimeStamp& stamp) const;

  std::string displayFormat_;
};

class TDateField : public TDateTimeField {
 public:
  explicit TDateField(TComponent* owner);
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;
};

class TTimeField : public TDateTimeField {
 public:
  explicit TTimeField(TComponent* owner);
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;
};

// Fixed-size raw bytes; a GUID column is one of 16 bytes.
class TBytesField : public TField {
 public:
  explicit TBytesField(TComponent* owner);
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;
  int32_t DataSize() const override { return Size(); }

 protected:
  Variant ReadAsVariant() const override;
  void WriteAsVariant(const Variant& value) override;
  std::string ReadAsString() const override;
  void WriteAsString(const std::string& value) override;
};

class TVarBytesField : public TBytesField {
 public:
  explicit TVarBytesField(TComponent* owner);
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;
};

// Blob and memo fields read and write their value through the dataset's blob streams
// (TDataSet::CreateBlobStream): AsString and Value read the whole content, writing one
// replaces it. Writing needs the dataset in edit or insert state and a field that is not read
// only (EDatabaseError as for every field); a dataset without blob streams raises "Cannot
// access field '<name>' as type Blob".
class TBlobField : public TField {
 public:
  explicit TBlobField(TComponent* owner);
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;
  bool IsBlob() const override { return true; }
  // The whole source, from its start, becomes the content.
  void LoadFromStream(TStream& source);
  // The content is written at the destination's position.
  void SaveToStream(TStream& destination) const;
  // EFOpenError when the file cannot be read (the field stays as it was); EFCreateError when
  // it cannot be created (an existing file is only replaced once the content is read).
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;
  int64_t BlobSize() const;

 protected:
  Variant ReadAsVariant() const override;
  void WriteAsVariant(const Variant& value) override;
  std::string ReadAsString() const override;
  void WriteAsString(const std::string& value) override;
  std::string GetTextValue(bool displayText) const override;

 private:
  // A write stream of the dataset over this field, after the field's own checks.
  std::unique_ptr<TStream> OpenWriteStream();
};

// A memo's value is its text; it shows its first line (a grid cell) and edits as a whole.
class TMemoField : public TBlobField {
 public:
  explicit TMemoField(TComponent* owner);
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

 protected:
  Variant ReadAsVariant() const override;
  std::string GetTextValue(bool displayText) const override;
};

class TGraphicField : public TBlobField {
 public:
  explicit TGraphicField(TComponent* owner);
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;
};

// The field class that stands for a field type; nullptr for types without one.
const ClassInfo* FieldClassOf(TFieldType type);
// Registers every field class and TDataSource for form descriptions (safe to call more than
// once).
void RegisterFieldClasses();

// A dataset's ordered field list. It does not own the fields.
class TFields {
 public:
  int Count() const noexcept { return static_cast<int>(items_.size()); }
  TField* Fields(int index) const;  // raises EDatabaseError "List index out of bounds (<i>)"
  TField* operator[](int index) const { return Fields(index); }
  // Case-insensitive; nullptr when missing.
  TField* FindField(const std::string& name) const;
  int IndexOf(const TField* field) const;
  void Add(TField* field);
  void Remove(TField* field);
  void Move(int from, int to);
  void Clear() { items_.clear(); }
  std::vector<TField*>::const_iterator begin() const { return items_.begin(); }
  std::vector<TField*>::const_iterator end() const { return items_.end(); }

 private:
  std::vector<TField*> items_;
};

}  // namespace lumo
