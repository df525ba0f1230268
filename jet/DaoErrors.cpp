#include "jet/DaoErrors.h"

#include <utility>

#include "runtime/Exceptions.h"

namespace lumo::jet {

namespace {

constexpr int kHelpContextBase = 5000000;
constexpr const char* kHelpFile = "jeterr40.chm";

struct ErrorPattern {
  int number;
  const char* pattern;
};

// DAO's own texts. Jet 4 spells "Could not/Cannot/is not"; names are filled inside single
// quotes, which the patterns carry. The small numbers are the expression service's errors,
// which reach DAO callers from functions evaluated inside queries.
constexpr ErrorPattern kPatterns[] = {
    {3000, "Reserved error (%s); there is no message for this error."},
    {5, "Invalid procedure call or argument."},
    {6, "Overflow."},
    {11, "Division by zero."},
    {13, "Type mismatch."},
    {93, "Invalid pattern string."},
    {3001, "Invalid argument."},
    {3003, "Could not start transaction; too many transactions already nested."},
    {3010, "Table '%s' already exists."},
    {3012, "Object '%s' already exists."},
    {3011,
     "The Microsoft Jet database engine could not find the object '%s'. Make sure the object "
     "exists and that you spell its name and the path name correctly."},
    {3015, "Index not found."},
    {3019, "Operation invalid without a current index."},
    {3020,
     "You tried to call Update or CancelUpdate or attempted to update a Field in a recordset "
     "without first calling AddNew or Edit."},
    {3021, "No current record."},
    {3022,
     "The changes you requested to the table were not successful because they would create "
     "duplicate values in the index, primary key, or relationship. Change the data in the "
     "field or fields that contain duplicate data, remove the index, or redefine the index to "
     "permit duplicate values and try again."},
    {3023, "AddNew or Edit already used."},
    {3024, "Could not find file '%s'."},
    {3027, "Cannot update. Database or object is read-only."},
    {3028,
     "Cannot start your application. The workgroup information file is missing or opened "
     "exclusively by another user."},
    {3029, "Not a valid account name or password."},
    {3031, "Not a valid password."},
    {3032, "Cannot perform this operation."},
    {3034, "You tried to commit or roll back a transaction without first using BeginTrans."},
    {3035, "System resource exceeded."},
    {3043, "Disk or network error."},
    {3044,
     "'%s' is not a valid path. Make sure that the path name is spelled correctly and that "
     "you are connected to the server on which the file resides."},
    {3045, "Could not use '%s'; file already in use."},
    {3047, "Record is too large."},
    {3049,
     "Cannot open database '%s'. It may not be a database that your application recognizes, "
     "or the file may be corrupt."},
    {3051,
     "The Microsoft Jet database engine cannot open the file '%s'. It is already opened "
     "exclusively by another user, or you need permission to view its data."},
    {3058, "Index or primary key cannot contain a Null value."},
    {3060, "Wrong data type for parameter '%s'."},
    {3061, "Too few parameters. Expected %s."},
    {3065, "Cannot execute a select query."},
    {3067, "Query input must contain at least one table or query."},
    {3070,
     "The Microsoft Jet database engine does not recognize '%s' as a valid field name or "
     "expression."},
    {3073, "Operation must use an updatable query."},
    {3075, "%s in query expression '%s'."},
    {3077, "%s in expression."},
    {3078,
     "The Microsoft Jet database engine cannot find the input table or query '%s'. Make sure "
     "it exists and that its name is spelled correctly."},
    {3079,
     "The specified field '%s' could refer to more than one table listed in the FROM clause "
     "of your SQL statement."},
    {3085, "Undefined function '%s' in expression."},
    {3086, "Could not delete from specified tables."},
    {3092, "Cannot use HAVING clause in TRANSFORM statement."},
    {3095, "Cannot have aggregate function in expression (%s)."},
    {3096, "Cannot have aggregate function in WHERE clause (%s)."},
    {3098, "Cannot have aggregate function in GROUP BY clause (%s)."},
    {3104, "Cannot specify fixed column heading '%s' in a crosstab query more than once."},
    {3107, "Record(s) cannot be added; no insert permission on '%s'."},
    {3108, "Record(s) cannot be edited; no update permission on '%s'."},
    {3109, "Record(s) cannot be deleted; no delete permission on '%s'."},
    {3113, "Cannot update '%s'; field not updatable."},
    {3122,
     "You tried to execute a query that does not include the specified expression '%s' as part "
     "of an aggregate function."},
    {3123, "Cannot use '*' in crosstab query."},
    {3125,
     "'%s' is not a valid name. Make sure that it does not include invalid characters or "
     "punctuation and that it is not too long."},
    {3127,
     "The INSERT INTO statement contains the following unknown field name: '%s'. Make sure "
     "you have typed the name correctly, and try the operation again."},
    {3129, "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'."},
    {3130, "Syntax error in DELETE statement."},
    {3131, "Syntax error in FROM clause."},
    {3132, "Syntax error in GROUP BY clause."},
    {3133, "Syntax error in HAVING clause."},
    {3134, "Syntax error in INSERT INTO statement."},
    {3135, "Syntax error in JOIN operation."},
    {3138, "Syntax error in ORDER BY clause."},
    {3139, "Syntax error in PARAMETER clause."},
    {3141,
     "The SELECT statement includes a reserved word or an argument name that is misspelled or "
     "missing, or the punctuation is incorrect."},
    {3142, "Characters found after end of SQL statement."},
    {3143, "Syntax error in TRANSFORM statement."},
    {3144, "Syntax error in UPDATE statement."},
    {3145, "Syntax error in WHERE clause."},
    {3159, "Not a valid bookmark."},
    {3162, "You tried to assign the Null value to a variable that is not a Variant data type."},
    {3163,
     "The field is too small to accept the amount of data you attempted to add. Try "
     "inserting or pasting less data."},
    {3167, "Record is deleted."},
    {3170, "Could not find installable ISAM."},
    {3173, "No unique index found for the referenced field of the primary table."},
    {3186, "Could not save; currently locked by user '%s' on machine '%s'."},
    {3188, "Could not update; currently locked by another session on this machine."},
    {3190, "Too many fields defined."},
    {3191, "Cannot define field more than once."},
    {3197,
     "The Microsoft Jet database engine stopped the process because you and another user are "
     "attempting to change the same data at the same time."},
    {3200, "The record cannot be deleted or changed because table '%s' includes related records."},
    {3201, "You cannot add or change a record because a related record is required in table '%s'."},
    {3204, "Database already exists."},
    {3211,
     "The database engine could not lock table '%s' because it is already in use by another "
     "person or process."},
    {3218, "Could not update; currently locked."},
    {3219, "Invalid operation."},
    {3251, "Operation is not supported for this type of object."},
    {3258,
     "The SQL statement could not be executed because it contains ambiguous outer joins. To "
     "force one of the joins to be performed first, create a separate query that performs the "
     "first join and then include that query in your SQL statement."},
    {3259, "Invalid field data type."},
    {3260, "Could not update; currently locked by user '%s' on machine '%s'."},
    {3264, "No field defined -- cannot append TableDef or Index."},
    {3265, "Item not found in this collection."},
    {3270, "Property not found."},
    {3277, "Cannot have more than 10 fields in an index."},
    {3280, "Cannot delete a field that is part of an index or is needed by the system."},
    {3281, "Cannot delete this index or table. It is either the current index or is used in a relationship."},
    {3283, "Primary key already exists."},
    {3284, "Index already exists."},
    {3289, "Syntax error in CONSTRAINT clause."},
    {3290, "Syntax error in CREATE TABLE statement."},
    {3291, "Syntax error in CREATE INDEX statement."},
    {3292, "Syntax error in field definition."},
    {3293, "Syntax error in ALTER TABLE statement."},
    {3294, "Syntax error in DROP INDEX statement."},
    {3295, "Syntax error in DROP TABLE or DROP INDEX."},
    {3303, "Cannot delete this field. It is part of one or more relationships."},
    {3306,
     "You have written a subquery that can return more than one field without using the EXISTS reserved "
     "word in the main query's FROM clause. Revise the SELECT statement of the subquery to request only one "
     "field."},
    {3307,
     "The number of columns in the two selected tables or queries of a union query don't "
     "match."},
    {3314,
     "The field '%s' cannot contain a Null value because the Required property for this "
     "field is set to True. Enter a value in this field."},
    {3315, "Field '%s' cannot be a zero-length string."},
    {3316, "%s"},
    {3317,
     "One or more values are prohibited by the validation rule '%s' set for '%s'. Enter a "
     "value that the expression for this field can accept."},
    {3318, "Values specified in a TOP clause are not allowed in delete queries or reports."},
    {3326, "This Recordset is not updatable."},
    {3343, "Unrecognized database format '%s'."},
    {3346, "Number of query values and destination fields are not the same."},
    {3349, "Numeric field overflow."},
    {3354, "At most one record can be returned by this subquery."},
    {3356,
     "You attempted to open a database that is already opened exclusively by user '%s' on "
     "machine '%s'. Try again when the database is available."},
    {3360, "Query is too complex."},
    {3366, "Cannot append a relation with no fields defined."},
    {3367, "Cannot append. An object with that name already exists in the collection."},
    {3368, "Relationship must be on the same number of fields with the same data types."},
    {3371, "Cannot find table or constraint."},
    {3372, "No such index '%s' on table '%s'."},
    {3373, "Cannot create relationship. Referenced table '%s' does not have a primary key."},
    {3374, "The specified fields are not uniquely indexed in table '%s'."},
    {3376, "Table '%s' does not exist."},
    {3378, "There is already a relationship named '%s' in the current database."},
    {3379,
     "Cannot create relationships to enforce referential integrity. Existing data in table '%s' violates "
     "referential integrity rules with related table '%s'."},
    {3380, "Field '%s' already exists in table '%s'."},
    {3381, "There is no field named '%s' in table '%s'."},
    {3420, "Object is invalid or no longer set."},
    {3421, "Data type conversion error."},
    {3426, "This action was cancelled by an associated object."},
    {3464, "Data type mismatch in criteria expression."},
    {3704,
     "You attempted to open a database that is already opened by user '%s' on machine '%s'. "
     "Try again when the database is available."},
};

thread_local DaoErrorHook tHook;

}  // namespace

const char* DaoErrorPattern(int number) {
  for (const auto& entry : kPatterns) {
    if (entry.number == number) return entry.pattern;
  }
  return nullptr;
}

std::string DaoErrorText(int number, const std::vector<std::string>& args) {
  const char* pattern = DaoErrorPattern(number);
  if (pattern == nullptr) {
    return "Reserved error (" + std::to_string(number) + "); there is no message for this error.";
  }
  std::string text;
  size_t argIndex = 0;
  for (const char* p = pattern; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      if (argIndex < args.size()) text += args[argIndex];
      ++argIndex;
      ++p;
    } else {
      text += *p;
    }
  }
  return text;
}

DaoErrorInfo MakeDaoError(int number, const std::vector<std::string>& args, std::string source, std::string detail) {
  DaoErrorInfo info;
  info.number = number;
  info.description = DaoErrorText(number, args);
  info.source = std::move(source);
  info.helpFile = kHelpFile;
  info.helpContext = kHelpContextBase + number;
  info.detail = std::move(detail);
  return info;
}

void RaiseDaoError(const DaoErrorInfo& error) {
  if (tHook) tHook(error);
  throw EOleException(error.description, error.number, error.source, error.helpFile, error.helpContext);
}

void RaiseDaoError(int number, const std::vector<std::string>& args, std::string source) {
  RaiseDaoError(MakeDaoError(number, args, std::move(source)));
}

DaoErrorHook SetDaoErrorHook(DaoErrorHook hook) {
  DaoErrorHook previous = std::move(tHook);
  tHook = std::move(hook);
  return previous;
}

std::string FunctionErrorMessage(int number, const std::vector<std::string>& args) {
  return "jet error " + std::to_string(number) + ": " + DaoErrorText(number, args);
}

}  // namespace lumo::jet
