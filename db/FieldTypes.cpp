// The typed field classes: conversions between each binary form and the caller's types.

#include "db/Fields.h"

#include "db/DataSet.h"
#include "runtime/DateFormat.h"
#include "runtime/NumberText.h"
#include "runtime/StrUtils.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace lumo {

namespace {

// The first `characters` characters of a UTF-8 text; a character is never split.
std::string CutToCharacters(const std::string& text, int32_t characters) {
  int32_t seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (seen == characters) return text.substr(0, i);
      ++seen;
    }
  }
  return text;
}

bool TextToBoolean(const std::string& text, bool& value) {
  std::string upper = UpperCaseAscii(Trim(text));
  if (upper.empty()) return false;
  if (upper == "TRUE" || upper == "T" || upper == "YES" || upper == "Y") {
    value = true;
    return true;
  }
  if (upper == "FALSE" || upper == "F" || upper == "NO" || upper == "N") {
    value = false;
    return true;
  }
  return false;
}

}  // namespace

// --- TStringField ----------------------------------------------------------------------------

TStringField::TStringField(TComponent* owner) : TField(owner) {
  SetDataType(ftString);
  SetSize(20);
}

std::string TStringField::ReadAsString() const {
  // Read for every field of every record a scan visits: a dataset that keeps text hands it
  // over in one copy, else the usual sizes use the stack.
  if (std::string text; GetDataText(text)) {
    if (!text.empty()) DataSet()->TranslateText(&text, &text, false);
    return text;
  }
  constexpr size_t kLocalRoom = 512;
  const size_t room = static_cast<size_t>(std::max<int32_t>(DataSize(), 0)) + 1;
  char local[kLocalRoom];
  std::vector<char> large;
  char* buffer = local;
  if (room > kLocalRoom) {
    large.resize(room);
    buffer = large.data();
  }
  std::memset(buffer, 0, room);
  if (!GetData(buffer)) return {};
  std::string text(buffer, strnlen(buffer, room));
  DataSet()->TranslateText(&text, &text, false);
  return text;
}

void TStringField::WriteAsString(const std::string& value) {
  CheckCanModify();
  std::string cut = CutToCharacters(value, Size());
  std::string stored;
  DataSet()->TranslateText(&cut, &stored, true);
  std::vector<char> buffer(static_cast<size_t>(DataSize()), '\0');
  std::memcpy(buffer.data(), stored.data(), std::min(stored.size(), buffer.size() - 1));
  SetData(buffer.data());
}

Variant TStringField::ReadAsVariant() const {
  if (IsNull()) return Variant::Null();
  return Variant(ReadAsString());
}

void TStringField::WriteAsVariant(const Variant& value) { WriteAsString(value.AsString()); }

int32_t TStringField::ReadAsInteger() const {
  std::string text = ReadAsString();
  return text.empty() ? 0 : StrToInt(Trim(text));
}

void TStringField::WriteAsInteger(int32_t value) { WriteAsString(IntToStr(value)); }

double TStringField::ReadAsFloat() const {
  std::string text = ReadAsString();
  return text.empty() ? 0.0 : StrToFloat(Trim(text));
}

void TStringField::WriteAsFloat(double value) { WriteAsString(FloatToStr(value)); }

bool TStringField::ReadAsBoolean() const {
  std::string text = ReadAsString();
  bool value = false;
  if (text.empty()) return false;
  if (!TextToBoolean(text, value))
    throw EConvertError("'" + text + "' is not a valid Boolean value");
  return value;
}

void TStringField::WriteAsBoolean(bool value) { WriteAsString(value ? "True" : "False"); }

TDateTime TStringField::ReadAsDateTime() const {
  std::string text = ReadAsString();
  return text.empty() ? 0.0 : StrToDateTime(text);
}

void TStringField::WriteAsDateTime(TDateTime value) { WriteAsString(DateTimeToStr(value)); }

// --- integer fields --------------------------------------------------------------------------

TIntegerField::TIntegerField(TComponent* owner)
    : TField(owner), minValue_(INT32_MIN), maxValue_(INT32_MAX) {
  SetDataType(ftInteger);
}

TSmallintField::TSmallintField(TComponent* owner) : TIntegerField(owner) {
  SetDataType(ftSmallint);
  SetRange(-32768, 32767);
}

TWordField::TWordField(TComponent* owner) : TIntegerField(owner) {
  SetDataType(ftWord);
  SetRange(0, 65535);
}

TAutoIncField::TAutoIncField(TComponent* owner) : TIntegerField(owner) { SetDataType(ftAutoInc); }

int32_t TIntegerField::ReadAsInteger() const {
  int32_t value = 0;
  return GetData(&value) ? value : 0;
}

void TIntegerField::WriteAsInteger(int32_t value) {
  if (value < minValue_ || value > maxValue_) {
    throw EDatabaseError(IntToStr(value) + " is not a valid value for field '" + FieldName() +
                         "'. The allowed range is " + IntToStr(minValue_) + " to " +
                         IntToStr(maxValue_));
  }
  SetData(&value);
}

Variant TIntegerField::ReadAsVariant() const {
  int32_t value = 0;
  if (!GetData(&value)) return Variant::Null();
  return Variant(value);
}

void TIntegerField::WriteAsVariant(const Variant& value) {
  int64_t wide = value.AsInt64();
  if (wide < minValue_ || wide > maxValue_) {
    throw EDatabaseError(IntToStr(wide) + " is not a valid value for field '" + FieldName() +
                         "'. The allowed range is " + IntToStr(minValue_) + " to " +
                         IntToStr(maxValue_));
  }
  WriteAsInteger(static_cast<int32_t>(wide));
}

std::string TIntegerField::ReadAsString() const {
  int32_t value = 0;
  return GetData(&value) ? IntToStr(value) : std::string();
}

void TIntegerField::WriteAsString(const std::string& value) {
  std::string text = Trim(value);
  if (text.empty()) {
    Clear();
    return;
  }
  int64_t wide = 0;
  if (!TryStrToInt64(text, wide))
    throw EConvertError("'" + value + "' is not a valid integer value");
  WriteAsVariant(Variant(wide));
}

double TIntegerField::ReadAsFloat() const { return ReadAsInteger(); }

void TIntegerField::WriteAsFloat(double value) {
  double rounded = std::round(value);
  if (rounded < minValue_ || rounded > maxValue_) {
    throw EDatabaseError(FloatToStr(value) + " is not a valid value for field '" + FieldName() +
                         "'. The allowed range is " + IntToStr(minValue_) + " to " +
                         IntToStr(maxValue_));
  }
  WriteAsInteger(static_cast<int32_t>(rounded));
}

bool TIntegerField::ReadAsBoolean() const { return ReadAsInteger() != 0; }
void TIntegerField::WriteAsBoolean(bool value) { WriteAsInteger(value ? 1 : 0); }

// --- TBooleanField ---------------------------------------------------------------------------

TBooleanField::TBooleanField(TComponent* owner) : TField(owner) { SetDataType(ftBoolean); }

bool TBooleanField::ReadAsBoolean() const {
  int16_t value = 0;
  return GetData(&value) && value != 0;
}

void TBooleanField::WriteAsBoolean(bool value) {
  int16_t stored = value ? 1 : 0;
  SetData(&stored);
}

Variant TBooleanField::ReadAsVariant() const {
  int16_t value = 0;
  if (!GetData(&value)) return Variant::Null();
  return Variant(value != 0);
}

void TBooleanField::WriteAsVariant(const Variant& value) { WriteAsBoolean(value.AsBoolean()); }

std::string TBooleanField::ReadAsString() const {
  int16_t value = 0;
  if (!GetData(&value)) return {};
  return value != 0 ? "True" : "False";
}

void TBooleanField::WriteAsString(const std::string& value) {
  if (Trim(value).empty()) {
    Clear();
    return;
  }
  bool parsed = false;
  if (!TextToBoolean(value, parsed)) {
    throw EDatabaseError("'" + value + "' is not a valid boolean value for field '" + FieldName() +
                         "'");
  }
  WriteAsBoolean(parsed);
}

int32_t TBooleanField::ReadAsInteger() const { return ReadAsBoolean() ? -1 : 0; }
void TBooleanField::WriteAsInteger(int32_t value) { WriteAsBoolean(value != 0); }

// --- float fields ----------------------------------------------------------------------------

TFloatField::TFloatField(TComponent* owner) : TField(owner) { SetDataType(ftFloat); }

TCurrencyField::TCurrencyField(TComponent* owner) : TFloatField(owner) {
  SetDataType(ftCurrency);
  SetCurrency(true);
}

TBCDField::TBCDField(TComponent* owner) : TFloatField(owner) { SetDataType(ftBCD); }

double TFloatField::ReadAsFloat() const {
  double value = 0;
  return GetData(&value) ? value : 0.0;
}

void TFloatField::WriteAsFloat(double value) { SetData(&value); }

Variant TFloatField::ReadAsVariant() const {
  double value = 0;
  if (!GetData(&value)) return Variant::Null();
  return Variant(value);
}

void TFloatField::WriteAsVariant(const Variant& value) { WriteAsFloat(value.AsDouble()); }

std::string TFloatField::ReadAsString() const {
  double value = 0;
  return GetData(&value) ? FloatToStr(value) : std::string();
}

void TFloatField::WriteAsString(const std::string& value) {
  std::string text = Trim(value);
  if (text.empty()) {
    Clear();
    return;
  }
  WriteAsFloat(StrToFloat(text));
}

int32_t TFloatField::ReadAsInteger() const {
  double value = std::round(ReadAsFloat());
  if (value < INT32_MIN || value > INT32_MAX) {
    throw EConvertError(FloatToStr(value) + " is not a valid integer value");
  }
  return static_cast<int32_t>(value);
}

void TFloatField::WriteAsInteger(int32_t value) { WriteAsFloat(value); }

// --- date and time fields --------------------------------------------------------------------

TDateTimeField::TDateTimeField(TComponent* owner) : TField(owner) { SetDataType(ftDateTime); }
TDateField::TDateField(TComponent* owner) : TDateTimeField(owner) { SetDataType(ftDate); }
TTimeField::TTimeField(TComponent* owner) : TDateTimeField(owner) { SetDataType(ftTime); }

int32_t TDateTimeField::DataSize() const { return DataType() == ftDateTime ? 8 : 4; }

bool TDateTimeField::FetchTimeStamp(TTimeStamp& stamp) const {
  // A dataset that keeps the stamp hands it over without the binary form in between.
  if (GetDataTimeStamp(stamp)) return true;
  if (DataType() == ftDateTime) {
    double milliSeconds = 0;
    if (!GetData(&milliSeconds)) return false;
    stamp = MSecsToTimeStamp(milliSeconds);
    return true;
  }
  int32_t stored = 0;
  if (!GetData(&stored)) return false;
  stamp = DataType() == ftDate ? TTimeStamp{0, stored} : TTimeStamp{stored, kDateDelta};
  return true;
}

TDateTime TDateTimeField::ReadAsDateTime() const {
  TTimeStamp stamp{};
  return FetchTimeStamp(stamp) ? TimeStampToDateTime(stamp) : TDateTime(0.0);
}

void TDateTimeField::WriteAsDateTime(TDateTime value) {
  TTimeStamp stamp = DateTimeToTimeStamp(value);
  if (DataType() == ftDateTime) {
    double milliSeconds = TimeStampToMSecs(stamp);
    SetData(&milliSeconds);
  } else {
    int32_t stored = DataType() == ftDate ? stamp.Date : stamp.Time;
    SetData(&stored);
  }
}

Variant TDateTimeField::ReadAsVariant() const {
  if (IsNull()) return Variant::Null();
  return Variant::FromDate(ReadAsDateTime());
}

void TDateTimeField::WriteAsVariant(const Variant& value) { WriteAsDateTime(value.AsDateTime()); }

std::string TDateTimeField::ReadAsString() const {
  // Read for every date of every record a scan shows: one fetch when there is a value, and
  // the text is made from the stored time stamp without a detour through a TDateTime. Only
  // a fetch that brings none asks whether the field is null (a value that does not read
  // shows as day zero).
  TTimeStamp stamp{};
  if (!FetchTimeStamp(stamp)) {
    if (IsNull()) return {};
    stamp = DateTimeToTimeStamp(0.0);
  }
  switch (DataType()) {
    case ftDate: return FormatTimeStamp("ddddd", stamp);
    case ftTime: return FormatTimeStamp("tt", stamp);
    default: return FormatTimeStamp("c", stamp);
  }
}

void TDateTimeField::WriteAsString(const std::string& value) {
  std::string text = Trim(value);
  if (text.empty()) {
    Clear();
    return;
  }
  switch (DataType()) {
    case ftDate: WriteAsDateTime(StrToDate(text)); break;
    case ftTime: WriteAsDateTime(StrToTime(text)); break;
    default: WriteAsDateTime(StrToDateTime(text)); break;
  }
}

double TDateTimeField::ReadAsFloat() const { return ReadAsDateTime(); }
void TDateTimeField::WriteAsFloat(double value) { WriteAsDateTime(value); }

std::string TDateTimeField::GetTextValue(bool displayText) const {
  if (displayText && !displayFormat_.empty() && !IsNull()) {
    return FormatDateTime(displayFormat_, ReadAsDateTime());
  }
  return ReadAsString();
}

// --- byte fields -----------------------------------------------------------------------------

TBytesField::TBytesField(TComponent* owner) : TField(owner) {
  SetDataType(ftBytes);
  SetSize(16);
}

TVarBytesField::TVarBytesField(TComponent* owner) : TBytesField(owner) { SetDataType(ftVarBytes); }

std::string TBytesField::ReadAsString() const {
  std::string bytes(static_cast<size_t>(DataSize()), '\0');
  if (!GetData(bytes.data())) return {};
  return bytes;
}

void TBytesField::WriteAsString(const std::string& value) {
  std::string bytes = value;
  bytes.resize(static_cast<size_t>(DataSize()), '\0');
  SetData(bytes.data());
}

Variant TBytesField::ReadAsVariant() const {
  std::string bytes(static_cast<size_t>(DataSize()), '\0');
  if (!GetData(bytes.data())) return Variant::Null();
  return Variant(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

void TBytesField::WriteAsVariant(const Variant& value) {
  std::vector<uint8_t> bytes = value.AsBytes();
  WriteAsString(std::string(bytes.begin(), bytes.end()));
}

// --- blob fields -----------------------------------------------------------------------------

TBlobField::TBlobField(TComponent* owner) : TField(owner) { SetDataType(ftBlob); }
TMemoField::TMemoField(TComponent* owner) : TBlobField(owner) { SetDataType(ftMemo); }
TGraphicField::TGraphicField(TComponent* owner) : TBlobField(owner) { SetDataType(ftGraphic); }

// Every read and write goes through one blob stream of the dataset, whole or in pieces; a
// dataset without blob streams has no blob values to give.

std::string TBlobField::ReadAsString() const {
  CheckDataSet();
  std::unique_ptr<TStream> stream =
      DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), TBlobStreamMode::bmRead);
  if (!stream) return {};
  std::string bytes(static_cast<size_t>(std::max<int64_t>(stream->Size(), 0)), '\0');
  stream->SetPosition(0);
  bytes.resize(static_cast<size_t>(
      std::max<int64_t>(stream->Read(bytes.data(), static_cast<int64_t>(bytes.size())), 0)));
  return bytes;
}

std::unique_ptr<TStream> TBlobField::OpenWriteStream() {
  CheckCanModify();
  std::unique_ptr<TStream> stream = DataSet()->CreateBlobStream(this, TBlobStreamMode::bmWrite);
  if (!stream) RaiseAccessError("Blob");
  return stream;
}

void TBlobField::WriteAsString(const std::string& value) {
  std::unique_ptr<TStream> stream = OpenWriteStream();
  stream->WriteBuffer(value.data(), static_cast<int64_t>(value.size()));
}

Variant TBlobField::ReadAsVariant() const {
  if (IsNull()) return Variant::Null();
  std::string bytes = ReadAsString();
  return Variant(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

void TBlobField::WriteAsVariant(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) {
    Clear();
  } else if (const std::vector<uint8_t>* bytes = value.BytesIf()) {
    std::unique_ptr<TStream> stream = OpenWriteStream();
    stream->WriteBuffer(bytes->data(), static_cast<int64_t>(bytes->size()));
  } else if (value.Type() == VarType::kArray) {
    std::vector<uint8_t> array = value.AsBytes();
    WriteAsString(std::string(array.begin(), array.end()));
  } else {
    WriteAsString(value.AsString());
  }
}

std::string TBlobField::GetTextValue(bool displayText) const {
  if (!displayText) return ReadAsString();
  return IsNull() ? "(blob)" : "(BLOB)";
}

void TBlobField::LoadFromStream(TStream& source) {
  std::unique_ptr<TStream> stream = OpenWriteStream();
  stream->CopyFrom(source, 0);
}

void TBlobField::SaveToStream(TStream& destination) const {
  CheckDataSet();
  std::unique_ptr<TStream> stream =
      DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), TBlobStreamMode::bmRead);
  if (!stream) return;
  destination.CopyFrom(*stream, 0);
}

void TBlobField::LoadFromFile(const std::string& fileName) {
  // The file is opened first: one that cannot be read leaves the field as it was.
  TFileStream file(fileName, TFileStream::Mode::kOpenRead);
  LoadFromStream(file);
}

void TBlobField::SaveToFile(const std::string& fileName) const {
  // The content is read before the file is created, so that a failing read leaves an
  // existing file untouched.
  CheckDataSet();
  std::unique_ptr<TStream> stream =
      DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), TBlobStreamMode::bmRead);
  TFileStream file(fileName, TFileStream::Mode::kCreate);
  if (stream) file.CopyFrom(*stream, 0);
  file.Flush();
}

int64_t TBlobField::BlobSize() const {
  CheckDataSet();
  std::unique_ptr<TStream> stream =
      DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), TBlobStreamMode::bmRead);
  return stream ? stream->Size() : 0;
}

Variant TMemoField::ReadAsVariant() const {
  if (IsNull()) return Variant::Null();
  return Variant(ReadAsString());
}

std::string TMemoField::GetTextValue(bool displayText) const {
  std::string text = ReadAsString();
  // A cell of a grid shows the first line.
  if (displayText) text.erase(std::min(text.find_first_of("\r\n"), text.size()));
  return text;
}

}  // namespace lumo
