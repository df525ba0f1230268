// TLumoDaoTable: record buffers, the value texts they hold, and the field values that travel
// between the engine, the buffers and the framework's fields.

#include "dao/dataset/LumoDaoTable.h"

#include <cstring>

#include "dao/dataset/DaoUtils.h"
#include "dao/dataset/DaoValueText.h"
#include "db/Field.h"
#include "jet/Field.h"
#include "jet/Recordset.h"
#include "runtime/OsFacts.h"

namespace lumo {

namespace {

bool IsBlobKind(TFieldType type) {
  switch (type) {
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftFmtMemo:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
    case ftOraClob: return true;
    default: return false;
  }
}

// Copies at most `maxChars` characters of text into a destination of `room` bytes, always
// zero-terminated, never cutting a UTF-8 character in two.
void CopyCutText(const std::string& text, char* destination, size_t room, size_t maxChars) {
  if (room == 0) return;
  // A text of no more bytes than characters allowed fits as it is (the usual case).
  if (text.size() <= maxChars && text.size() < room) {
    std::memcpy(destination, text.data(), text.size());
    destination[text.size()] = '\0';
    return;
  }
  size_t length = 0;
  size_t chars = 0;
  while (length < text.size() && chars < maxChars) {
    size_t next = length + 1;
    while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80) ++next;
    if (next > room - 1) break;
    length = next;
    ++chars;
  }
  std::memcpy(destination, text.data(), length);
  destination[length] = '\0';
}

}  // namespace

// --- buffers
// --------------------------------------------------------------------------------------

TRecordBuffer TLumoDaoTable::NewRecordBuffer() {
  const size_t size = std::max<size_t>(static_cast<size_t>(recordSize_), sizeof(TDaoRecordHeader));
  auto* buffer = new char[size]();
  auto* values = new TDaoValueList;
  const auto count = static_cast<size_t>(FieldDefs().Count());
  values->text.resize(count);
  values->changed.assign(count, 0);
  Header(buffer).ValueList = values;
  return buffer;
}

void TLumoDaoTable::DisposeRecordBuffer(TRecordBuffer& buffer) {
  if (buffer == nullptr) return;
  if (!blobStreams_.empty()) ForgetBlobBuffer(buffer);
  delete Header(buffer).ValueList;
  delete[] buffer;
  buffer = nullptr;
}

int32_t TLumoDaoTable::RecordBufferSize() { return recordSize_; }

void TLumoDaoTable::ClearCalculatedValues(TRecordBuffer buffer) {
  if (buffer == nullptr || CalcFieldsSize() <= 0) return;
  std::memset(CalculatedArea(buffer), 0, static_cast<size_t>(CalcFieldsSize()));
}

TRecordBuffer TLumoDaoTable::CopyOfBuffer(TRecordBuffer source) {
  TRecordBuffer copy = NewRecordBuffer();
  TDaoValueList* values = Header(copy).ValueList;
  std::memcpy(copy, source,
              static_cast<size_t>(std::max<int32_t>(recordSize_, sizeof(TDaoRecordHeader))));
  *values = *Header(source).ValueList;
  Header(copy).ValueList = values;
  return copy;
}

void TLumoDaoTable::DisposeOldValues() { DisposeRecordBuffer(oldValuesBuffer_); }

void TLumoDaoTable::ClearRecordBuffer(TRecordBuffer buffer) {
  TRecordBuffer state = StateRecordBuffer();
  TRecordBuffer previous = state != nullptr ? CopyOfBuffer(state) : NewRecordBuffer();
  DisposeOldValues();
  oldValuesBuffer_ = previous;
  if (!blobStreams_.empty()) ForgetBlobBuffer(buffer);

  TDaoValueList& values = *Header(buffer).ValueList;
  const auto count = static_cast<size_t>(FieldDefs().Count());
  values.text.resize(count);
  values.changed.assign(count, 0);
  if (defaultValueList_.size() < count) defaultValueList_.resize(count);
  for (size_t i = 0; i < count; ++i) {
    TField* field = i < defFields_.size() ? defFields_[i] : nullptr;
    if (field != nullptr && !field->DefaultExpression().empty()) {
      std::string text = field->DefaultExpression();
      if (!text.empty() && text.front() == '\'') text.erase(0, 1);
      if (!text.empty() && text.back() == '\'') text.pop_back();
      defaultValueList_[i] = text;
      values.changed[i] = 1;
    }
    values.text[i] = defaultValueList_[i];
  }
  Header(buffer).BookmarkFlag = static_cast<uint8_t>(TBookmarkFlag::bfInserted);
  Header(buffer).BookmarkValue = 0;
  Header(buffer).RecordPosition = -1;
}

bool TLumoDaoTable::CopyCurrentRecord(TRecordBuffer destination) {
  TRecordBuffer source = StateRecordBuffer();
  if (!cursorOpen_ || IsEmpty() || source == nullptr || destination == nullptr) return false;
  // The copy gets a value list of its own: each buffer is disposed of on its own.
  if (!blobStreams_.empty()) ForgetBlobBuffer(destination);
  TDaoValueList* own = Header(destination).ValueList;
  if (own == nullptr) own = new TDaoValueList;
  std::memcpy(destination, source, static_cast<size_t>(recordSize_));
  *own = *Header(source).ValueList;
  Header(destination).ValueList = own;
  return true;
}

TRecordBuffer TLumoDaoTable::StateRecordBuffer() {
  switch (State()) {
    case TDataSetState::dsBrowse:
    case TDataSetState::dsBlockRead: return IsEmpty() ? nullptr : ActiveBuffer();
    case TDataSetState::dsCalcFields: return CalcBuffer();
    case TDataSetState::dsFilter: return filterBuffer_;
    case TDataSetState::dsOldValue:
      return oldValuesBuffer_ != nullptr ? oldValuesBuffer_ : ActiveBuffer();
    case TDataSetState::dsEdit:
    case TDataSetState::dsInsert:
    case TDataSetState::dsNewValue:
    case TDataSetState::dsCurValue: return ActiveBuffer();
    default: return nullptr;
  }
}

// --- reading from the engine -------------------------------------------------------------------

bool TLumoDaoTable::ReadRecordValues(jet::Recordset& recordset, bool useFieldObjects,
                                     TRecordBuffer buffer) {
  EngineIdle();
  if (!blobStreams_.empty()) ForgetBlobBuffer(buffer);
  TDaoRecordHeader& header = Header(buffer);
  header.RecordPosition = currentPosition_;
  header.BookmarkValue = bookmarkable_ ? CurrentBookmarkValue(recordset) : 0;
  header.BookmarkFlag = static_cast<uint8_t>(TBookmarkFlag::bfCurrent);

  TDaoValueList& values = *header.ValueList;
  const auto count = static_cast<size_t>(FieldDefs().Count());
  values.text.resize(count);
  values.changed.assign(count, 0);
  const Variant null = Variant::Null();
  for (size_t i = 0; i < count; ++i) {
    std::string& text = values.text[i];
    if (i >= defFields_.size() || defFields_[i] == nullptr) continue;
    const TFieldType type = defTypes_[i];
    const bool blob = IsBlobKind(type);
    const bool readNow =
        !blob || (type == ftMemo && cacheMemos_) || (type == ftBlob && cacheBlobs_);
    // The engine's field object, for the sizes of values not read now.
    auto fieldSize = [&]() {
      try {
        if (useFieldObjects && i < fieldObjectArray_.size())
          return fieldObjectArray_[i]->FieldSize();
        return recordset.Fields().Item(static_cast<int>(i))->FieldSize();
      } catch (const std::exception&) {
        return 0;
      }
    };

    if (!readNow) {
      const int size = fieldSize();
      text = size == 0 ? std::string() : std::to_string(size);
      continue;
    }

    // The value where the engine holds it: texts go from there into the buffer's own string
    // (whose room the previous record left), with no Variant or text in between.
    const Variant* value = &null;
    try {
      std::string_view view;
      if ((type == ftString || type == ftMemo) &&
          recordset.ColumnTextInPlace(static_cast<int>(i), view)) {
        text.assign(view);
        if (encrypterActive_) text = DecryptText(text);
        continue;
      }
      TTimeStamp stamp{};
      if ((type == ftDate || type == ftTime || type == ftDateTime) &&
          recordset.ColumnTimeStamp(static_cast<int>(i), stamp)) {
        AssignTimeStampText(stamp, text);
        continue;
      }
      value = &recordset.ColumnValueInPlace(static_cast<int>(i));
    } catch (const EOleException& error) {
      TDaoErrRec dao;
      CollectDaoError(dao);
      if (error.ErrorCode() == kRecordDeleted || dao.Number == kRecordDeleted) {
        NoteRecordGone();
        return false;
      }
    }

    if (value->IsNull() || value->IsEmpty()) {
      text.clear();
    } else if (type == ftBlob) {
      text = ArrayToText(false, *value, fieldSize());
    } else if (value->IsArray() && !blob) {
      text = ArrayToText(false, *value, value->HighBound() - value->LowBound() + 1);
    } else if (type == ftDate || type == ftTime || type == ftDateTime) {
      DateVariantToText(*value, text);
    } else if (type == ftBoolean) {
      try {
        text = value->AsBoolean() ? "True" : "False";
      } catch (const Exception&) {
        text.clear();
      }
    } else if (const std::string* stored = value->TextIf()) {
      text.assign(*stored);
    } else {
      try {
        text = VarToStr(*value);
      } catch (const Exception&) {
        text.clear();
      }
    }
    if (encrypterActive_ && (type == ftString || blob)) text = DecryptText(text);
  }
  return true;
}

// --- field values --------------------------------------------------------------------------------

bool TLumoDaoTable::IsGuidField(const TField* field) const {
  const int index = field->FieldNo() - 1;
  return index >= 0 && static_cast<size_t>(index) < defGuid_.size() &&
         defGuid_[static_cast<size_t>(index)];
}

bool TLumoDaoTable::FetchFieldValue(TField* field, void* destination) {
  if (!cursorOpen_ || field == nullptr) return false;
  TRecordBuffer buffer = StateRecordBuffer();
  if (buffer == nullptr) return false;

  if (field->FieldKind() == TFieldKind::fkCalculated ||
      field->FieldKind() == TFieldKind::fkLookup) {
    const char* place = CalculatedArea(buffer) + field->Offset();
    const bool hasValue = place[0] != 0;
    if (hasValue && destination != nullptr) {
      std::memcpy(destination, place + 1, static_cast<size_t>(field->DataSize()));
    }
    return hasValue;
  }

  const int index = field->FieldNo() - 1;
  const TDaoValueList& values = *Header(buffer).ValueList;
  if (index < 0 || static_cast<size_t>(index) >= values.text.size()) return false;
  const std::string& text = values.text[static_cast<size_t>(index)];
  if (destination == nullptr) return !text.empty();

  const auto room = static_cast<size_t>(std::max<int32_t>(field->DataSize(), 0));
  switch (field->DataType()) {
    case ftString:
      CopyCutText(text, static_cast<char*>(destination), room,
                  static_cast<size_t>(std::max(field->Size(), 0)));
      return !text.empty();
    case ftBytes:
      if (IsGuidField(field)) {
        GuidBytes bytes = TextToGuid(text);
        std::memcpy(destination, bytes.data(), std::min(room, bytes.size()));
        return !text.empty();
      } else {
        size_t length = std::min(text.size(), room);
        std::memcpy(destination, text.data(), length);
        if (length < room) static_cast<char*>(destination)[length] = '\0';
        return !text.empty();
      }
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc: {
      int32_t value = 0;
      std::memcpy(&value, destination, sizeof value);
      TextToInteger(text, value);
      std::memcpy(destination, &value, sizeof value);
      return !text.empty();
    }
    case ftBoolean: {
      int16_t value = 0;
      std::memcpy(&value, destination, sizeof value);
      TextToBoolean(text, value);
      std::memcpy(destination, &value, sizeof value);
      return !text.empty();
    }
    case ftFloat:
    case ftCurrency:
    case ftBCD: {
      double value = 0;
      std::memcpy(&value, destination, sizeof value);
      TextToFloat(text, value);
      std::memcpy(destination, &value, sizeof value);
      return !text.empty();
    }
    case ftDate: {
      int32_t day = 0;
      if (!TextToDate(text, day)) return false;
      std::memcpy(destination, &day, sizeof day);
      return true;
    }
    case ftTime: {
      int32_t msecs = 0;
      if (!TextToTime(text, msecs)) return false;
      std::memcpy(destination, &msecs, sizeof msecs);
      return true;
    }
    case ftDateTime: {
      double msecs = 0;
      if (!TextToDateTime(text, msecs)) return false;
      std::memcpy(destination, &msecs, sizeof msecs);
      return true;
    }
    default: return false;
  }
}

bool TLumoDaoTable::FetchFieldText(TField* field, std::string& text) {
  if (!cursorOpen_ || field == nullptr || field->DataType() != ftString) return false;
  if (field->FieldKind() != TFieldKind::fkData && field->FieldKind() != TFieldKind::fkInternalCalc)
    return false;
  TRecordBuffer buffer = StateRecordBuffer();
  if (buffer == nullptr) return false;
  const int index = field->FieldNo() - 1;
  const TDaoValueList& values = *Header(buffer).ValueList;
  if (index < 0 || static_cast<size_t>(index) >= values.text.size()) return false;
  const std::string& stored = values.text[static_cast<size_t>(index)];
  // What FetchFieldValue would cut to the field's size goes that way.
  const auto maxChars = static_cast<size_t>(std::max(field->Size(), 0));
  const auto room = static_cast<size_t>(std::max<int32_t>(field->DataSize(), 0));
  if (stored.size() > maxChars || stored.size() >= room) return false;
  // A text with a zero byte inside ends there, as it does in the field's buffer.
  if (stored.find('\0') != std::string::npos) return false;
  text.assign(stored);
  return true;
}

bool TLumoDaoTable::FetchFieldTimeStamp(TField* field, TTimeStamp& stamp) {
  if (!cursorOpen_ || field == nullptr) return false;
  if (field->FieldKind() == TFieldKind::fkCalculated || field->FieldKind() == TFieldKind::fkLookup)
    return false;
  TRecordBuffer buffer = StateRecordBuffer();
  if (buffer == nullptr) return false;
  const int index = field->FieldNo() - 1;
  const TDaoValueList& values = *Header(buffer).ValueList;
  if (index < 0 || static_cast<size_t>(index) >= values.text.size()) return false;
  // The same reading as FetchFieldValue's, minus the binary form in between: a date keeps
  // only its day, a time only its milliseconds on the base day.
  const auto parsed = ParseTimeStampText(values.text[static_cast<size_t>(index)]);
  if (!parsed) return false;
  switch (field->DataType()) {
    case ftDate: stamp = TTimeStamp{0, parsed->Date}; return true;
    case ftTime: stamp = TTimeStamp{parsed->Time, kDateDelta}; return true;
    case ftDateTime:
      // A pair outside the calendar or with more than a day's milliseconds takes the long
      // way, which carries the surplus over or refuses the value.
      if (parsed->Date < 1 || parsed->Date > kMaxDayNumber || parsed->Time < 0 ||
          parsed->Time >= kMSecsPerDay)
        return false;
      stamp = *parsed;
      return true;
    default: return false;
  }
}

void TLumoDaoTable::StoreFieldValue(TField* field, const void* source) {
  TRecordBuffer buffer = StateRecordBuffer();
  if (buffer == nullptr || field == nullptr) return;

  const TFieldKind kind = field->FieldKind();
  if (kind == TFieldKind::fkCalculated || kind == TFieldKind::fkLookup) {
    char* place = CalculatedArea(buffer) + field->Offset();
    place[0] = source != nullptr ? 1 : 0;
    if (source != nullptr) std::memcpy(place + 1, source, static_cast<size_t>(field->DataSize()));
  } else {
    if (kind == TFieldKind::fkData || kind == TFieldKind::fkInternalCalc) field->Validate(source);
    if (field->ReadOnly() && State() != TDataSetState::dsSetKey) return;
    std::string text;
    if (source != nullptr) {
      switch (field->DataType()) {
        case ftString: {
          const auto* chars = static_cast<const char*>(source);
          text.assign(chars, strnlen(chars, static_cast<size_t>(std::max(field->DataSize(), 0))));
          break;
        }
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc: {
          int32_t value = 0;
          std::memcpy(&value, source, sizeof value);
          text = IntegerToText(value);
          break;
        }
        case ftBoolean: {
          int16_t value = 0;
          std::memcpy(&value, source, sizeof value);
          text = BooleanToText(value);
          break;
        }
        case ftFloat:
        case ftCurrency:
        case ftBCD: {
          double value = 0;
          std::memcpy(&value, source, sizeof value);
          text = FloatToText(value);
          break;
        }
        case ftDate: {
          int32_t value = 0;
          std::memcpy(&value, source, sizeof value);
          text = DateToText(value);
          break;
        }
        case ftTime: {
          int32_t value = 0;
          std::memcpy(&value, source, sizeof value);
          text = TimeToText(value);
          break;
        }
        case ftDateTime: {
          double value = 0;
          std::memcpy(&value, source, sizeof value);
          text = DateTimeToText(value);
          break;
        }
        case ftBytes:
          if (IsGuidField(field)) {
            GuidBytes bytes{};
            std::memcpy(bytes.data(), source, bytes.size());
            text = GuidToText(bytes);
          } else {
            text.assign(static_cast<const char*>(source), static_cast<size_t>(field->Size()));
          }
          break;
        default: break;
      }
    }
    const int index = field->FieldNo() - 1;
    TDaoValueList& values = *Header(buffer).ValueList;
    if (index < 0 || static_cast<size_t>(index) >= values.text.size()) return;
    values.text[static_cast<size_t>(index)] = std::move(text);
    values.changed[static_cast<size_t>(index)] = 1;
  }

  switch (State()) {
    case TDataSetState::dsCalcFields:
    case TDataSetState::dsFilter:
    case TDataSetState::dsNewValue:
    case TDataSetState::dsInternalCalc: break;
    default: DataEvent(TDataEvent::deFieldChange, reinterpret_cast<intptr_t>(field));
  }
}

bool TLumoDaoTable::QueryCanModify() { return cursorOpen_ && !readOnly_; }

int TLumoDaoTable::TranslateText(const std::string* source, std::string* destination, bool toOem) {
  int result = TDataSet::TranslateText(source, destination, toOem);
  if (!translation_) return result;
  if (source == nullptr || destination == nullptr || source == destination) return 0;
  *destination = toOem ? CharToOemA(*source) : OemToCharA(*source);
  return static_cast<int>(destination->size());
}

// --- encrypter and display handlers
// ---------------------------------------------------------------

std::string TLumoDaoTable::EncryptText(const std::string& text) {
  decodedProp_->setString(*encrypter_, text);
  return encodedProp_->getString(*encrypter_);
}

std::string TLumoDaoTable::DecryptText(const std::string& text) {
  encodedProp_->setString(*encrypter_, text);
  return decodedProp_->getString(*encrypter_);
}

void TLumoDaoTable::MemoGetText(TField& field, std::string& text, bool) {
  TRecordBuffer buffer = StateRecordBuffer();
  if (!cacheMemos_ || buffer == nullptr) return;
  const int index = field.FieldNo() - 1;
  const TDaoValueList& values = *Header(buffer).ValueList;
  if (index < 0 || static_cast<size_t>(index) >= values.text.size()) return;
  const std::string& entry = values.text[static_cast<size_t>(index)];
  text = entry.substr(0, entry.find('\r'));
}

void TLumoDaoTable::GuidGetText(TField& field, std::string& text, bool) {
  TRecordBuffer buffer = StateRecordBuffer();
  if (!showGuid_ || buffer == nullptr) return;
  const int index = field.FieldNo() - 1;
  const TDaoValueList& values = *Header(buffer).ValueList;
  if (index < 0 || static_cast<size_t>(index) >= values.text.size()) return;
  text = StripGuidPrefix(values.text[static_cast<size_t>(index)]);
}

void TLumoDaoTable::GuidSetText(TField& field, const std::string& text) {
  if (!showGuid_ || text.size() != 38) return;
  GuidBytes bytes = GuidToBytes(StringToGuid(text));
  field.SetData(bytes.data());
}

}  // namespace lumo
