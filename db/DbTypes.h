#pragma once
// Basic types of the dataset framework: dataset states, fetch modes and results, bookmark
// flags, field types and kinds, error-event answers, data events and small option sets.
//
// The field-type enumeration is a plain enum on purpose: its ordinals are part of the
// contract (type-name tables index it).

#include <cstdint>
#include <initializer_list>
#include <string>

namespace lumo {

enum class TDataSetState {
  dsInactive,
  dsBrowse,
  dsEdit,
  dsInsert,
  dsSetKey,
  dsCalcFields,
  dsFilter,
  dsNewValue,
  dsOldValue,
  dsCurValue,
  dsBlockRead,
  dsInternalCalc,
  dsOpening
};

enum class TGetMode { gmCurrent = 0, gmNext = 1, gmPrior = 2 };
enum class TGetResult { grOK = 0, grBOF = 1, grEOF = 2, grError = 3 };
enum class TBookmarkFlag : uint8_t { bfCurrent = 0, bfBOF = 1, bfEOF = 2, bfInserted = 3 };

enum TFieldType : int {
  ftUnknown,
  ftString,
  ftSmallint,
  ftInteger,
  ftWord,
  ftBoolean,
  ftFloat,
  ftCurrency,
  ftBCD,
  ftDate,
  ftTime,
  ftDateTime,
  ftBytes,
  ftVarBytes,
  ftAutoInc,
  ftBlob,
  ftMemo,
  ftGraphic,
  ftFmtMemo,
  ftParadoxOle,
  ftDBaseOle,
  ftTypedBinary,
  ftCursor,
  ftFixedChar,
  ftWideString,
  ftLargeint,
  ftADT,
  ftArray,
  ftReference,
  ftDataSet,
  ftOraBlob,
  ftOraClob,
  ftVariant,
  ftInterface,
  ftIDispatch,
  ftGuid
};

// "String", "Integer", ...: the type's name without the "ft" prefix.
const char* FieldTypeText(TFieldType type);

enum class TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc };

// What an error event answers: fail raises the error again, abort ends the operation
// silently (EAbort), retry runs the operation once more.
enum class TDataAction { daFail = 0, daAbort = 1, daRetry = 2 };

enum class TBlobStreamMode { bmRead, bmWrite, bmReadWrite };

// What data links are told.
enum class TDataEvent {
  deFieldChange,
  deRecordChange,
  deDataSetChange,
  deDataSetScroll,
  deLayoutChange,
  deUpdateRecord,
  deUpdateState,
  deCheckBrowseMode,
  dePropertyChange,
  deFieldListChange,
  deFocusControl,
  deParentScroll,
  deConnectChange,
  deDisabledStateChange
};

// A record buffer: RecordBufferSize() bytes (or more) made by the dataset's NewRecordBuffer.
using TRecordBuffer = char*;
// Raw bookmark bytes; empty is the null bookmark.
using TBookmark = std::string;

// How Resync re-reads the window: exact raises when the current record is gone, center puts
// the current record in the middle of the window instead of keeping its row.
struct TResyncMode {
  bool exact = false;
  bool center = false;
};

// A small set over an enum class whose ordinals are below 32.
template <class E>
class TSmallSet {
 public:
  constexpr TSmallSet() = default;
  constexpr TSmallSet(std::initializer_list<E> members) {
    for (E member : members) Include(member);
  }
  constexpr void Include(E member) { bits_ |= Bit(member); }
  constexpr void Exclude(E member) { bits_ &= ~Bit(member); }
  constexpr bool Contains(E member) const { return (bits_ & Bit(member)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint32_t Mask() const { return bits_; }
  static constexpr TSmallSet FromMask(uint32_t mask) {
    TSmallSet set;
    set.bits_ = mask;
    return set;
  }
  constexpr bool operator==(const TSmallSet&) const = default;

 private:
  static constexpr uint32_t Bit(E member) { return 1u << static_cast<unsigned>(member); }
  uint32_t bits_ = 0;
};

enum class TLocateOption { loCaseInsensitive, loPartialKey };
using TLocateOptions = TSmallSet<TLocateOption>;

enum class TIndexOption {
  ixPrimary,
  ixUnique,
  ixDescending,
  ixCaseInsensitive,
  ixExpression,
  ixNonMaintained
};
using TIndexOptions = TSmallSet<TIndexOption>;

enum class TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

}  // namespace lumo
