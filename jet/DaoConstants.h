#pragma once
// DAO's enumerations, with the values callers pass and test. Field types and field attributes
// are in JetTypes.h beside the type mapping.

#include <cstdint>
#include <string_view>

namespace lumo::jet {

// RecordsetTypeEnum.
inline constexpr int dbOpenTable = 1;
inline constexpr int dbOpenDynaset = 2;
inline constexpr int dbOpenSnapshot = 4;
inline constexpr int dbOpenForwardOnly = 8;
inline constexpr int dbOpenDynamic = 16;

// RecordsetOptionEnum (OpenRecordset options) and Execute options.
inline constexpr int dbDenyWrite = 1;
inline constexpr int dbDenyRead = 2;
inline constexpr int dbReadOnly = 4;
inline constexpr int dbAppendOnly = 8;
inline constexpr int dbInconsistent = 16;
inline constexpr int dbConsistent = 32;
inline constexpr int dbSQLPassThrough = 64;
inline constexpr int dbFailOnError = 128;
inline constexpr int dbForwardOnly = 256;
inline constexpr int dbSeeChanges = 512;
inline constexpr int dbRunAsync = 1024;
inline constexpr int dbExecDirect = 2048;

// LockTypeEnum (the LockEdit argument of OpenRecordset).
inline constexpr int dbOptimisticValue = 1;
inline constexpr int dbPessimistic = 2;
inline constexpr int dbOptimistic = 3;
inline constexpr int dbReadOnlyLock = 4;  // same value as the option dbReadOnly
inline constexpr int dbOptimisticBatch = 5;

// EditModeEnum.
inline constexpr int dbEditNone = 0;
inline constexpr int dbEditInProgress = 1;
inline constexpr int dbEditAdd = 2;

// IdleEnum.
inline constexpr int dbFreeLocks = 1;
inline constexpr int dbRefreshCache = 8;

// WorkspaceTypeEnum.
inline constexpr int dbUseODBC = 1;
inline constexpr int dbUseJet = 2;

// DriverPromptEnum (OpenConnection's options, to which dbRunAsync may be added).
inline constexpr int dbDriverComplete = 0;
inline constexpr int dbDriverNoPrompt = 1;
inline constexpr int dbDriverPrompt = 2;
inline constexpr int dbDriverCompleteRequired = 3;

// TableDefAttributeEnum.
inline constexpr int32_t dbHiddenObject = 1;
inline constexpr int32_t dbSystemObject = static_cast<int32_t>(0x80000002u);
inline constexpr int32_t dbAttachedTable = 0x40000000;
inline constexpr int32_t dbAttachedODBC = 0x20000000;

// QueryDefTypeEnum.
inline constexpr int dbQSelect = 0;
inline constexpr int dbQCrosstab = 16;
inline constexpr int dbQDelete = 32;
inline constexpr int dbQUpdate = 48;
inline constexpr int dbQAppend = 64;
inline constexpr int dbQMakeTable = 80;
inline constexpr int dbQDDL = 96;
inline constexpr int dbQSQLPassThrough = 112;
inline constexpr int dbQSetOperation = 128;
inline constexpr int dbQSPTBulk = 144;
inline constexpr int dbQCompound = 160;
inline constexpr int dbQProcedure = 224;
inline constexpr int dbQAction = 240;

// The constant's name of a query definition type ("dbQSelect", "dbQCrosstab", ...); empty
// for a value that is none of them.
constexpr std::string_view QueryDefTypeName(int type) {
  switch (type) {
    case dbQSelect: return "dbQSelect";
    case dbQProcedure: return "dbQProcedure";
    case dbQAction: return "dbQAction";
    case dbQCrosstab: return "dbQCrosstab";
    case dbQDelete: return "dbQDelete";
    case dbQUpdate: return "dbQUpdate";
    case dbQAppend: return "dbQAppend";
    case dbQMakeTable: return "dbQMakeTable";
    case dbQDDL: return "dbQDDL";
    case dbQSQLPassThrough: return "dbQSQLPassThrough";
    case dbQSetOperation: return "dbQSetOperation";
    case dbQSPTBulk: return "dbQSPTBulk";
    case dbQCompound: return "dbQCompound";
    default: return {};
  }
}

// ParameterDirectionEnum.
inline constexpr int dbParamInput = 1;
inline constexpr int dbParamOutput = 2;
inline constexpr int dbParamInputOutput = 3;
inline constexpr int dbParamReturnValue = 4;

// RelationAttributeEnum.
inline constexpr int dbRelationUnique = 1;
inline constexpr int dbRelationDontEnforce = 2;
inline constexpr int dbRelationInherited = 4;
inline constexpr int dbRelationUpdateCascade = 256;
inline constexpr int dbRelationDeleteCascade = 4096;
inline constexpr int dbRelationLeft = 16777216;
inline constexpr int dbRelationRight = 33554432;

// CollatingOrderEnum: the engine compares text like the General order.
inline constexpr int dbSortGeneral = 1033;
inline constexpr int dbSortUndefined = -1;

// CreateDatabase: the locale text of the General order and the version option.
inline constexpr const char* dbLangGeneral = ";LANGID=0x0409;CP=1252;COUNTRY=0";
inline constexpr int dbVersion40 = 64;

// The engine's own recordset-type choice when the caller passes none.
inline constexpr int kDefaultRecordsetType = 0;

}  // namespace lumo::jet
