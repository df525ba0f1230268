// Find*: a Jet criterion over the recordset's fields, evaluated by SQLite from the right place
// in the recordset's order (each row engine knows how: see RecordSource::FindMatch). A hit
// makes the row current; a miss sets NoMatch and leaves the cursor where it was.

#include "jet/Catalogue.h"
#include "jet/Recordset.h"
#include "jet/RecordsetState.h"
#include "jet/sql/JetSqlTranslator.h"
#include "runtime/Exceptions.h"

namespace lumo::jet {

void Recordset::RunFind(const std::string& criteria, bool forward, bool fromCurrent) {
  State& s = Live();
  if (s.engine == EngineKind::kTable || s.engine == EngineKind::kForward) RaiseRecordsetError(3251);
  TranslateOptions options;
  options.dialect = s.Plan().dialect;
  options.firstParameterNumber = s.Plan().parameterCount + 1;
  options.errorSource = "DAO.Recordset";
  options.criteriaErrors = true;
  // A field of a foreign file's text column compares as stored, which the translator must know.
  const TableInfo* table = s.Plan().table.get();
  for (const RecordsetColumn& column : s.Columns()) {
    const ColumnInfo* base =
        table != nullptr && !column.baseColumn.empty() ? table->FindColumn(column.baseColumn) : nullptr;
    options.criteriaColumns.push_back({column.name, column.type, base == nullptr || base->noCase});
  }
  TranslatedExpression translated = TranslateExpression(criteria, options);
  FindCriteria find;
  find.sql = translated.sql;

  RowPosition start = kNoRow;
  if (fromCurrent) {
    // From BOF forward (or EOF backward) the whole list lies ahead; beyond the other end
    // nothing does.
    if ((forward && s.eof) || (!forward && s.bof)) {
      s.noMatch = true;
      return;
    }
    if (!s.bof && !s.eof) start = s.position;
  }
  RowPosition found = kNoRow;
  std::optional<std::string> unknown;
  {
    UnknownNameCapture capture;
    try {
      found = s.rows->FindMatch(find, start, forward, false);
    } catch (const EOleException&) {
      if (!capture.Name()) throw;
      unknown = capture.Name();
    }
  }
  if (unknown) RaiseRecordsetError(kDaoUnrecognizedField, {*unknown});
  if (found == kNoRow) {
    s.noMatch = true;
    return;
  }
  s.noMatch = false;
  Land(found);
}

void Recordset::FindFirst(const std::string& criteria) { RunFind(criteria, true, false); }
void Recordset::FindLast(const std::string& criteria) { RunFind(criteria, false, false); }
void Recordset::FindNext(const std::string& criteria) { RunFind(criteria, true, true); }
void Recordset::FindPrevious(const std::string& criteria) { RunFind(criteria, false, true); }

bool Recordset::NoMatch() const { return Live().noMatch; }

}  // namespace lumo::jet
