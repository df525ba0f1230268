#include "jet/QueryDef.h"

#include <cctype>
#include <string_view>

#include "jet/Catalogue.h"
#include "jet/Connection.h"
#include "jet/DaoConstants.h"
#include "jet/DaoErrors.h"
#include "jet/DatabaseExecute.h"
#include "jet/DatabaseFile.h"
#include "jet/Recordset.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {
constexpr const char* kSource = "DAO.QueryDef";

// The "?" markers of the server's SQL, outside its string literals and quoted names.
int MarkerCount(std::string_view sql) {
  int count = 0;
  char quote = 0;
  for (char c : sql) {
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '?') {
      ++count;
    }
  }
  return count;
}

// "{? = call f(...)}": the first marker takes what the procedure returns.
bool StartsWithReturnMarker(std::string_view sql) {
  std::string text = Trim(sql);
  if (!text.empty() && text.front() == '{') text = Trim(text.substr(1));
  if (text.empty() || text.front() != '?') return false;
  text = Trim(text.substr(1));
  return !text.empty() && text.front() == '=';
}

// The kind of a server statement, from its first word: what yields rows, what calls a
// procedure, what changes something.
int ServerStatementType(const std::string& sql) {
  std::string text = Trim(sql);
  if (!text.empty() && text.front() == '{') text = Trim(text.substr(1));
  if (StartsWithReturnMarker(text)) text = Trim(text.substr(text.find('=') + 1));
  size_t end = 0;
  while (end < text.size() && std::isalpha(static_cast<unsigned char>(text[end])) != 0) ++end;
  const std::string word = UpperCaseAscii(text.substr(0, end));
  if (word.empty() || word == "SELECT" || word == "WITH" || word == "VALUES" || word == "TABLE" || word == "SHOW") {
    return dbQSelect;
  }
  if (word == "CALL" || word == "EXEC" || word == "EXECUTE") return dbQProcedure;
  return dbQAction;
}

bool NamesOdbcSource(const std::string& connect) { return StartsText("ODBC;", Trim(connect)); }
}  // namespace

QueryDef::QueryDef(std::shared_ptr<DatabaseFile> file, std::string name, std::string sql)
    : DaoObject(kSource), file_(std::move(file)), name_(std::move(name)), sql_(std::move(sql)) {}

void QueryDef::CheckFile() const {
  CheckValid();
  if (!file_ || !file_->IsOpen()) Raise(3420);
}

void QueryDef::SetSQL(const std::string& sql) {
  CheckFile();
  // A text Jet cannot read is refused here, and the definition keeps its old one; the
  // server's SQL is the server's to judge.
  if (!Trim(sql).empty() && !IsPassThrough()) {
    TranslateOptions options;
    options.errorSource = kSource;
    TranslateStatement(sql, options);
  }
  if (saved_) file_->Schema().StoreQuery(name_, sql, false);
  sql_ = sql;
  parametersStale_ = true;
  fields_.reset();
}

int QueryDef::Type() const {
  CheckValid();
  if (direct_) return ServerStatementType(sql_);
  if (IsPassThrough()) return dbQSQLPassThrough;
  if (Trim(sql_).empty()) return dbQSelect;
  TranslateOptions options;
  options.errorSource = kSource;
  return QueryDefType(TranslateStatement(sql_, options).kind);
}

bool QueryDef::ReturnsRecords() const {
  if (IsPassThrough()) {
    if (!returnsRecords_) {
      returnsRecords_ = true;
      if (saved_ && file_ && file_->IsOpen()) {
        for (const auto& stored : file_->Schema().Properties(name_, "")) {
          if (AnsiSameText(stored.name, "ReturnsRecords")) returnsRecords_ = stored.value.AsBoolean();
        }
      }
    }
    return *returnsRecords_;
  }
  const int type = Type();
  if (direct_) return type != dbQAction;
  return type == dbQSelect || type == dbQSetOperation || type == dbQCrosstab;
}

Variant QueryDef::DateCreated() const {
  CheckFile();
  if (!saved_) return Variant::Null();
  auto query = file_->Schema().FindQuery(name_);
  return query ? query->dateCreated : Variant::Null();
}

Variant QueryDef::LastUpdated() const {
  CheckFile();
  if (!saved_) return Variant::Null();
  auto query = file_->Schema().FindQuery(name_);
  return query ? query->lastUpdated : Variant::Null();
}

void QueryDef::SetReturnsRecords(bool returnsRecords) {
  CheckFile();
  // Only a pass-through definition has a choice: the engine cannot tell from the server's SQL.
  if (!IsPassThrough() || direct_) Raise(3251);
  if (saved_) file_->Schema().StoreProperty(name_, "", "ReturnsRecords", dbBoolean, Variant(returnsRecords));
  returnsRecords_ = returnsRecords;
}

std::string QueryDef::Connect() const {
  if (!connect_) {
    connect_ = std::string();
    if (saved_ && file_ && file_->IsOpen()) {
      for (const auto& stored : file_->Schema().Properties(name_, "")) {
        if (AnsiSameText(stored.name, "Connect")) connect_ = VarToStr(stored.value);
      }
    }
  }
  return *connect_;
}

void QueryDef::SetConnect(const std::string& connect) {
  CheckFile();
  if (direct_) Raise(3251);
  // Only ODBC sources take the server's SQL; a Jet definition has no connect text.
  if (!Trim(connect).empty() && !NamesOdbcSource(connect)) Raise(3170);
  if (saved_) file_->Schema().StoreProperty(name_, "", "Connect", dbText, Variant(connect));
  connect_ = connect;
  passThrough_.reset();
  parametersStale_ = true;
  fields_.reset();
}

bool QueryDef::IsPassThrough() const { return direct_ != nullptr || NamesOdbcSource(Connect()); }

DirectStatements& QueryDef::Server() {
  if (direct_) return *direct_;
  if (!passThrough_ || !passThrough_->IsValid()) {
    DirectConnectRequest request;
    request.name = name_;
    request.options = dbDriverNoPrompt;
    request.connect = Connect();
    passThrough_ = ConnectDirect(request);
  }
  return *passThrough_->Direct();
}

void QueryDef::SetMaxRecords(int maxRecords) {
  CheckValid();
  if (maxRecords < 0) Raise(kDaoInvalidArgument);
  maxRecords_ = maxRecords;
}

void QueryDef::SetODBCTimeout(int seconds) {
  CheckValid();
  if (seconds < 0) Raise(kDaoInvalidArgument);
  odbcTimeout_ = seconds;
}

bool QueryDef::Updatable() const {
  CheckFile();
  return !file_->ReadOnly();
}

Collection<Parameter>& QueryDef::Parameters() {
  CheckFile();
  if (!parameters_) parameters_ = std::make_unique<OwnedCollection<Parameter>>(kSource);
  if (direct_) {
    if (parametersStale_) RebuildMarkerParameters();
    return *parameters_;
  }
  // A pass-through definition's SQL has no Jet parameters.
  if (IsPassThrough()) {
    parameters_->Reset({});
    return *parameters_;
  }
  if (parametersStale_) RebuildParameters();
  return *parameters_;
}

void QueryDef::RebuildParameters() {
  std::vector<std::shared_ptr<Parameter>> parameters;
  if (!Trim(sql_).empty()) {
    PreparedJet prepared = PrepareJet(*file_, sql_, {}, kSource);
    for (const TranslatedParameter& declared : prepared.translated.parameters) {
      // Values persist until changed, also across a change of the text.
      std::shared_ptr<Parameter> existing = parameters_->Find(declared.name);
      const int type = declared.daoType != 0 ? declared.daoType : dbText;
      if (existing && existing->Type() == type) {
        parameters.push_back(existing);
      } else {
        auto parameter = std::make_shared<Parameter>(declared.name, type);
        if (existing && existing->IsSet()) parameter->CarryOver(existing->Value());
        parameters.push_back(std::move(parameter));
      }
    }
  }
  parameters_->Reset(std::move(parameters));
  parametersStale_ = false;
}

void QueryDef::RebuildMarkerParameters() {
  const int markers = MarkerCount(sql_);
  std::vector<std::shared_ptr<Parameter>> parameters;
  for (int i = 0; i < markers; ++i) {
    // Values and directions persist by position while the text keeps as many markers.
    if (markers == parameters_->Count()) {
      parameters.push_back(parameters_->Item(i));
      continue;
    }
    const int direction = i == 0 && StartsWithReturnMarker(sql_) ? dbParamReturnValue : dbParamInput;
    parameters.push_back(std::make_shared<Parameter>("Parameter" + std::to_string(i + 1), dbText, direction, true));
  }
  parameters_->Reset(std::move(parameters));
  parametersStale_ = false;
}

std::vector<std::pair<std::string, Variant>> QueryDef::ParameterValues() {
  std::vector<std::pair<std::string, Variant>> values;
  int missing = 0;
  for (const auto& parameter : Parameters()) {
    if (parameter->IsSet()) {
      values.emplace_back(parameter->Name(), parameter->Value());
    } else {
      ++missing;
    }
  }
  if (missing > 0) Raise(kDaoTooFewParameters, {std::to_string(missing)});
  return values;
}

Collection<Field>& QueryDef::Fields() {
  CheckFile();
  if (fields_) return *fields_;
  fields_ = std::make_unique<OwnedCollection<Field>>(kSource);
  if (!ReturnsRecords() || IsPassThrough()) return *fields_;
  std::vector<std::string> known;
  for (const auto& parameter : Parameters()) known.push_back(parameter->Name());
  PreparedJet prepared = PrepareJet(*file_, sql_, known, kSource);
  storage::Statement& statement = *prepared.statement;
  for (int column = 0; column < statement.ColumnCount(); ++column) {
    const std::string table = statement.ColumnTableName(column);
    JetFieldType type = MapDeclaredType(statement.ColumnDeclaredType(column));
    if (!table.empty()) {
      // A column of a table keeps that column's description (a counter stays a counter).
      if (const TableInfo* info = file_->Schema().FindTable(table)) {
        if (const ColumnInfo* source = info->FindColumn(statement.ColumnOriginName(column))) type = source->type;
      }
    }
    auto field = std::make_shared<Field>(statement.ColumnName(column), type);
    field->Describe(column, false, type.type == dbText || type.type == dbMemo, {}, table,
                    statement.ColumnOriginName(column), false);
    field->SetCatalogue(file_);
    fields_->Add(std::move(field));
  }
  return *fields_;
}

PropertyCollection& QueryDef::Properties() {
  CheckFile();
  if (properties_) return *properties_;
  properties_ = std::make_unique<PropertyCollection>();
  auto add = [&](const char* name, int type, Property::Getter getter, Property::Setter setter = {}) {
    properties_->AddBuiltIn(std::make_shared<Property>(name, type, std::move(getter), std::move(setter)));
  };
  add("Name", dbText, [this] { return Variant(name_); });
  add(
      "SQL", dbMemo, [this] { return Variant(sql_); }, [this](const Variant& v) { SetSQL(VarToStr(v)); });
  add("Type", dbInteger, [this] { return Variant::FromSmallint(static_cast<int16_t>(Type())); });
  add("DateCreated", dbDate, [this] { return DateCreated(); });
  add("LastUpdated", dbDate, [this] { return LastUpdated(); });
  add("Updatable", dbBoolean, [this] { return Variant(Updatable()); });
  add(
      "Connect", dbText, [this] { return Variant(Connect()); }, [this](const Variant& v) { SetConnect(VarToStr(v)); });
  add(
      "ReturnsRecords", dbBoolean, [this] { return Variant(ReturnsRecords()); },
      [this](const Variant& v) { SetReturnsRecords(v.AsBoolean()); });
  add(
      "ODBCTimeout", dbInteger, [this] { return Variant::FromSmallint(static_cast<int16_t>(odbcTimeout_)); },
      [this](const Variant& v) { SetODBCTimeout(v.AsInteger()); });
  add(
      "MaxRecords", dbLong, [this] { return Variant(maxRecords_); },
      [this](const Variant& v) { SetMaxRecords(v.AsInteger()); });
  add("RecordsAffected", dbLong, [this] { return Variant(recordsAffected_); });
  if (saved_) {
    for (auto& stored : file_->Schema().Properties(name_, "")) {
      if (properties_->Find(stored.name)) continue;
      properties_->AddBuiltIn(std::make_shared<Property>(stored.name, stored.type, stored.value));
    }
    std::weak_ptr<DatabaseFile> weak = file_;
    const std::string name = name_;
    auto store = [weak, name](const Property& property) {
      auto file = weak.lock();
      if (!file || !file->IsOpen()) RaiseDaoError(3420, {}, kSource);
      file->Schema().StoreProperty(name, "", property.Name(), property.Type() != 0 ? property.Type() : dbText,
                                   property.Value());
    };
    for (const auto& property : *properties_) {
      if (!property->IsBuiltIn()) property->onChange = store;
    }
    properties_->onStore = store;
    properties_->onRemove = [weak, name](const std::string& propertyName) {
      auto file = weak.lock();
      if (!file || !file->IsOpen()) RaiseDaoError(3420, {}, kSource);
      file->Schema().RemoveProperty(name, "", propertyName);
    };
  }
  return *properties_;
}

std::shared_ptr<Recordset> QueryDef::OpenRecordset(int type, int options, int lockEdit) {
  CheckFile();
  if (!ReturnsRecords()) Raise(3219);
  if (IsPassThrough()) {
    const int timeout = odbcTimeout_;
    return Server().OpenRecordset(sql_, type, options, lockEdit, maxRecords_, timeout);
  }
  RecordsetSource source;
  source.name = name_.empty() ? sql_ : name_;
  source.sql = sql_;
  source.parameters = ParameterValues();
  source.maxRecords = maxRecords_;
  return Recordset::Open(file_, std::move(source), type, options, lockEdit);
}

void QueryDef::Execute(int options) {
  CheckFile();
  if (direct_ && Parameters().Count() > 0) {
    std::vector<std::shared_ptr<Parameter>> parameters;
    int missing = 0;
    for (const auto& parameter : Parameters()) {
      const bool input = parameter->Direction() == dbParamInput || parameter->Direction() == dbParamInputOutput;
      if (input && !parameter->IsSet()) ++missing;
      parameters.push_back(parameter);
    }
    if (missing > 0) Raise(kDaoTooFewParameters, {std::to_string(missing)});
    recordsAffected_ = 0;
    recordsAffected_ = direct_->ExecuteWithParameters(sql_, options, odbcTimeout_, parameters);
    return;
  }
  if (IsPassThrough()) {
    recordsAffected_ = 0;
    recordsAffected_ = Server().Execute(sql_, options, odbcTimeout_);
    return;
  }
  recordsAffected_ = ExecuteJet(*file_, sql_, options, ParameterValues(), kSource);
}

void QueryDef::Close() {
  CheckValid();
  passThrough_.reset();
  Invalidate();
}

}  // namespace lumo::jet
