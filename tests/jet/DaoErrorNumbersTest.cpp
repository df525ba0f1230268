// The names of DAO's error numbers against the texts the engine gives those numbers: a name
// that points at the wrong number shows up here as a text that does not say what the name
// means, and a number the text table knows but no name covers fails the coverage case.

#include "jet/DaoErrorNumbers.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "jet/DaoErrors.h"

namespace lumo::jet {
namespace {

struct NamedNumber {
  int number;
  const char* name;
  const char* meaning;  // a piece of the number's text that says what the name says
};

#define NAMED(constant, meaning) \
  { constant, #constant, meaning }

constexpr NamedNumber kNamedNumbers[] = {
    NAMED(kExprInvalidProcedureCall, "Invalid procedure call"),
    NAMED(kExprOverflow, "Overflow."),
    NAMED(kExprDivisionByZero, "Division by zero"),
    NAMED(kExprTypeMismatch, "Type mismatch."),
    NAMED(kExprInvalidPattern, "Invalid pattern string"),
    NAMED(kDaoReservedError, "Reserved error"),
    NAMED(kDaoInvalidArgument, "Invalid argument"),
    NAMED(kDaoTooManyTransactions, "too many transactions"),
    NAMED(kDaoTableExists, "Table '' already exists"),
    NAMED(kDaoObjectNotFound, "could not find the object"),
    NAMED(kDaoObjectExists, "Object '' already exists"),
    NAMED(kDaoIndexNotFound, "Index not found"),
    NAMED(kDaoNoCurrentIndex, "without a current index"),
    NAMED(kDaoUpdateWithoutEdit, "without first calling AddNew or Edit"),
    NAMED(kDaoNoCurrentRecord, "No current record"),
    NAMED(kDaoDuplicateKey, "duplicate values in the index"),
    NAMED(kDaoEditAlreadyUsed, "AddNew or Edit already used"),
    NAMED(kDaoFileNotFound, "Could not find file"),
    NAMED(kDaoReadOnly, "is read-only"),
    NAMED(kDaoWorkgroupMissing, "workgroup information file is missing"),
    NAMED(kDaoBadLogon, "Not a valid account name or password"),
    NAMED(kDaoBadPassword, "Not a valid password"),
    NAMED(kDaoCannotPerform, "Cannot perform this operation"),
    NAMED(kDaoNoTransaction, "without first using BeginTrans"),
    NAMED(kDaoResourceExceeded, "System resource exceeded"),
    NAMED(kDaoDiskError, "Disk or network error"),
    NAMED(kDaoInvalidPath, "is not a valid path"),
    NAMED(kDaoFileInUse, "file already in use"),
    NAMED(kDaoRecordTooLarge, "Record is too large"),
    NAMED(kDaoCorruptDatabase, "the file may be corrupt"),
    NAMED(kDaoCannotOpenFile, "cannot open the file"),
    NAMED(kDaoNullInIndex, "cannot contain a Null value"),
    NAMED(kDaoParameterType, "Wrong data type for parameter"),
    NAMED(kDaoTooFewParameters, "Too few parameters"),
    NAMED(kDaoCannotExecuteSelect, "Cannot execute a select query"),
    NAMED(kDaoQueryWithoutTable, "must contain at least one table"),
    NAMED(kDaoUnrecognizedField, "as a valid field name"),
    NAMED(kDaoQueryNotUpdatable, "must use an updatable query"),
    NAMED(kDaoQueryExpressionError, "in query expression"),
    NAMED(kDaoExpressionError, " in expression."),
    NAMED(kDaoInputTableNotFound, "cannot find the input table"),
    NAMED(kDaoAmbiguousField, "could refer to more than one table"),
    NAMED(kDaoUndefinedFunction, "Undefined function"),
    NAMED(kDaoCannotDeleteFromTables, "Could not delete from specified tables"),
    NAMED(kDaoTransformHaving, "HAVING clause in TRANSFORM"),
    NAMED(kDaoAggregateInExpression, "aggregate function in expression"),
    NAMED(kDaoAggregateInWhere, "aggregate function in WHERE"),
    NAMED(kDaoAggregateInGroupBy, "aggregate function in GROUP BY"),
    NAMED(kDaoHeadingTwice, "more than once"),
    NAMED(kDaoNoInsertPermission, "no insert permission"),
    NAMED(kDaoNoUpdatePermission, "no update permission"),
    NAMED(kDaoNoDeletePermission, "no delete permission"),
    NAMED(kDaoFieldNotUpdatable, "field not updatable"),
    NAMED(kDaoNotPartOfAggregate, "as part of an aggregate function"),
    NAMED(kDaoCrosstabStar, "Cannot use '*' in crosstab"),
    NAMED(kDaoInvalidName, "is not a valid name"),
    NAMED(kDaoUnknownInsertField, "unknown field name"),
    NAMED(kDaoInvalidStatement, "Invalid SQL statement"),
    NAMED(kDaoDeleteSyntax, "Syntax error in DELETE"),
    NAMED(kDaoFromSyntax, "Syntax error in FROM"),
    NAMED(kDaoGroupBySyntax, "Syntax error in GROUP BY"),
    NAMED(kDaoHavingSyntax, "Syntax error in HAVING"),
    NAMED(kDaoInsertSyntax, "Syntax error in INSERT INTO"),
    NAMED(kDaoJoinSyntax, "Syntax error in JOIN"),
    NAMED(kDaoOrderBySyntax, "Syntax error in ORDER BY"),
    NAMED(kDaoParameterSyntax, "Syntax error in PARAMETER"),
    NAMED(kDaoSelectSyntax, "The SELECT statement includes a reserved word"),
    NAMED(kDaoCharactersAfterEnd, "Characters found after end"),
    NAMED(kDaoTransformSyntax, "Syntax error in TRANSFORM"),
    NAMED(kDaoUpdateSyntax, "Syntax error in UPDATE"),
    NAMED(kDaoWhereSyntax, "Syntax error in WHERE"),
    NAMED(kDaoInvalidBookmark, "Not a valid bookmark"),
    NAMED(kDaoNullToNonVariant, "assign the Null value to a variable"),
    NAMED(kDaoFieldTooSmall, "field is too small"),
    NAMED(kDaoRecordDeleted, "Record is deleted"),
    NAMED(kDaoNoInstallableIsam, "installable ISAM"),
    NAMED(kDaoNoUniqueIndex, "No unique index found"),
    NAMED(kDaoSaveLockedByUser, "Could not save; currently locked by user"),
    NAMED(kDaoLockedBySession, "locked by another session"),
    NAMED(kDaoTooManyFields, "Too many fields defined"),
    NAMED(kDaoFieldDefinedTwice, "define field more than once"),
    NAMED(kDaoWriteConflict, "change the same data at the same time"),
    NAMED(kDaoRelatedRecordsExist, "includes related records"),
    NAMED(kDaoRelatedRecordRequired, "a related record is required"),
    NAMED(kDaoDatabaseExists, "Database already exists"),
    NAMED(kDaoTableInUse, "already in use by another person"),
    NAMED(kDaoLocked, "Could not update; currently locked."),
    NAMED(kDaoInvalidOperation, "Invalid operation"),
    NAMED(kDaoNotSupported, "not supported for this type of object"),
    NAMED(kDaoAmbiguousOuterJoins, "ambiguous outer joins"),
    NAMED(kDaoInvalidFieldType, "Invalid field data type"),
    NAMED(kDaoLockedByUser, "Could not update; currently locked by user"),
    NAMED(kDaoNoFieldsDefined, "No field defined"),
    NAMED(kDaoItemNotFound, "Item not found in this collection"),
    NAMED(kDaoPropertyNotFound, "Property not found"),
    NAMED(kDaoTooManyIndexFields, "more than 10 fields in an index"),
    NAMED(kDaoFieldInIndex, "field that is part of an index"),
    NAMED(kDaoIndexInUse, "current index or is used in a relationship"),
    NAMED(kDaoPrimaryKeyExists, "Primary key already exists"),
    NAMED(kDaoIndexExists, "Index already exists"),
    NAMED(kDaoConstraintSyntax, "Syntax error in CONSTRAINT"),
    NAMED(kDaoCreateTableSyntax, "Syntax error in CREATE TABLE"),
    NAMED(kDaoCreateIndexSyntax, "Syntax error in CREATE INDEX"),
    NAMED(kDaoFieldDefinitionSyntax, "Syntax error in field definition"),
    NAMED(kDaoAlterTableSyntax, "Syntax error in ALTER TABLE"),
    NAMED(kDaoDropIndexSyntax, "Syntax error in DROP INDEX statement"),
    NAMED(kDaoDropSyntax, "Syntax error in DROP TABLE or DROP INDEX"),
    NAMED(kDaoFieldInRelation, "part of one or more relationships"),
    NAMED(kDaoSubqueryFields, "subquery that can return more than one field"),
    NAMED(kDaoUnionColumnCount, "union query don't match"),
    NAMED(kDaoRequiredNull, "Required property"),
    NAMED(kDaoZeroLengthString, "zero-length string"),
    NAMED(kDaoTableValidation, ""),  // the text is the table rule's own
    NAMED(kDaoValidationRule, "prohibited by the validation rule"),
    NAMED(kDaoTopInDelete, "TOP clause are not allowed in delete queries"),
    NAMED(kDaoRecordsetNotUpdatable, "This Recordset is not updatable"),
    NAMED(kDaoUnrecognizedFormat, "Unrecognized database format"),
    NAMED(kDaoValueCountMismatch, "query values and destination fields"),
    NAMED(kDaoNumericOverflow, "Numeric field overflow"),
    NAMED(kDaoSubqueryRows, "At most one record can be returned"),
    NAMED(kDaoOpenedExclusively, "already opened exclusively by user"),
    NAMED(kDaoQueryTooComplex, "Query is too complex"),
    NAMED(kDaoRelationWithoutFields, "relation with no fields"),
    NAMED(kDaoNameInCollection, "object with that name already exists in the collection"),
    NAMED(kDaoRelationFieldsMismatch, "same number of fields with the same data types"),
    NAMED(kDaoTableOrConstraintNotFound, "Cannot find table or constraint"),
    NAMED(kDaoNoSuchIndex, "No such index"),
    NAMED(kDaoNoPrimaryKey, "does not have a primary key"),
    NAMED(kDaoFieldsNotUnique, "not uniquely indexed"),
    NAMED(kDaoTableNotExists, "does not exist"),
    NAMED(kDaoRelationExists, "already a relationship named"),
    NAMED(kDaoIntegrityViolated, "violates referential integrity"),
    NAMED(kDaoFieldExists, "already exists in table"),
    NAMED(kDaoNoSuchField, "There is no field named"),
    NAMED(kDaoObjectInvalid, "Object is invalid or no longer set"),
    NAMED(kDaoConversionError, "Data type conversion error"),
    NAMED(kDaoActionCancelled, "cancelled by an associated object"),
    NAMED(kDaoTypeMismatch, "Data type mismatch in criteria expression"),
    NAMED(kDaoOpenedByUser, "already opened by user"),
};

#undef NAMED

TEST(DaoErrorNumbersTest, EveryNameHasTheTextOfWhatItMeans) {
  for (const NamedNumber& named : kNamedNumbers) {
    ASSERT_NE(DaoErrorPattern(named.number), nullptr) << named.name << " = " << named.number << " has no text";
    EXPECT_NE(DaoErrorText(named.number).find(named.meaning), std::string::npos)
        << named.name << " = " << named.number << " reads \"" << DaoErrorText(named.number) << "\"";
  }
}

TEST(DaoErrorNumbersTest, NamesAreDistinct) {
  std::set<int> numbers;
  for (const NamedNumber& named : kNamedNumbers) {
    EXPECT_TRUE(numbers.insert(named.number).second) << named.name << " repeats " << named.number;
  }
}

// A number the text table knows must have a name too, so that no code needs to spell it.
TEST(DaoErrorNumbersTest, EveryNumberWithATextHasAName) {
  std::set<int> named;
  for (const NamedNumber& entry : kNamedNumbers) named.insert(entry.number);
  for (int number = 0; number < 10000; ++number) {
    if (DaoErrorPattern(number) != nullptr) {
      EXPECT_TRUE(named.count(number)) << number << " has a text but no name";
    }
  }
}

// The one name without a text of its own: a lock error the engine never raises but a caller
// waiting for a lock accepts. It answers the text of an unknown number.
TEST(DaoErrorNumbersTest, TheFileLockNumberHasNoTextOfItsOwn) {
  EXPECT_EQ(kDaoCannotLockFile, 3050);
  EXPECT_EQ(DaoErrorText(kDaoCannotLockFile), "Reserved error (3050); there is no message for this error.");
}

TEST(DaoErrorNumbersTest, TheTableRuleNumberCarriesTheRulesText) {
  EXPECT_EQ(DaoErrorText(kDaoTableValidation, {"Amount must be positive"}), "Amount must be positive");
}

}  // namespace
}  // namespace lumo::jet
