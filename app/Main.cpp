// The journal form's handlers and the recording, stamping and overview steps behind them.

#include "app/Main.h"

#include "dao/database/LumoDaoDataBase.h"
#include "dao/dataset/LumoDaoTable.h"
#include "db/Fields.h"
#include "gui/Application.h"
#include "runtime/ClassInfo.h"
#include "runtime/CommandLine.h"
#include "runtime/IniFile.h"
#include "runtime/OsFacts.h"
#include "runtime/StrUtils.h"
#include "runtime/Variant.h"

namespace lumo {

extern const char* const kMainFormDescription;  // MainForm.cpp, generated from Main.frm

const char* const kUpgradeStatement = "alter table logon add logofftime datetime";

namespace {

constexpr const char* kOpenRowStatement =
    "select id from logon where username= '%s' and computer='%s' and (logofftime is Null) order by logontime desc";
constexpr const char* kStampStatement = "update logon set logofftime = %s where id = %d";
constexpr const char* kOverviewStatement = "select * from logon where logontime > %s order by logontime desc";

// A text placed between apostrophes in Jet SQL: each apostrophe doubled.
std::string QuotedText(const std::string& text) {
  std::string quoted;
  quoted.reserve(text.size());
  for (char c : text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted;
}

void SetSqlLine(TLumoDaoTable& dataset, const std::string& line) {
  dataset.SQL().Clear();
  dataset.SQL().Add(line);
}

}  // namespace

std::string SystemText(const TVersionsInfo& info) { return info.OSName + " " + info.CSDVersion; }

TJournalEvent GatherJournalEvent(const std::string& argument) {
  TVersionsInfo info;
  GetVersionsInfo(info);
  TJournalEvent event;
  event.kind = LowerCaseAscii(argument);
  event.user = CurrentUserName();
  event.computer = CurrentComputerName();
  event.addresses = LocalIPAddresses();
  event.system = SystemText(info);
  return event;
}

std::string OpenRowStatement(const std::string& user, const std::string& computer) {
  return Format(kOpenRowStatement, QuotedText(user), QuotedText(computer));
}

std::string StampStatement(TDateTime now, int32_t id) {
  return Format(kStampStatement, AccessDateTimeLiteral(now), id);
}

std::string OverviewStatement(TDateTime today) {
  return Format(kOverviewStatement, AccessDateLiteral(today));
}

void RecordLogon(TLumoDaoTable& logon, const TJournalEvent& event, TDateTime now) {
  logon.Open();
  logon.InsertRecord({Variant(event.user), Variant(event.computer), Variant::FromDate(now),
                      Variant(event.addresses), Variant(event.system), Variant(event.kind)});
  logon.Close();
}

int32_t StampLogoff(TLumoDaoTable& query, const TJournalEvent& event, TDateTime now) {
  SetSqlLine(query, OpenRowStatement(event.user, event.computer));
  query.Open();
  int32_t id = -1;
  if (query.RecordCount() != 0) id = query.FieldByName("id")->AsInteger();
  query.Close();
  if (id >= 0) {
    SetSqlLine(query, StampStatement(now, id));
    query.ExecuteSQL();
  }
  return id;
}

void OpenOverview(TLumoDaoTable& logon, TDateTime today) {
  SetSqlLine(logon, OverviewStatement(today));
  logon.Open();
}

std::string JournalIniPath() {
  std::string path = ExecutablePath();
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.erase(dot);
  return path + ".ini";
}

Tfmain::Tfmain(TComponent* owner) : TForm(owner) {}

const ClassInfo& Tfmain::StaticClass() {
  static const ClassInfo info = ClassBuilder<Tfmain>("Tfmain", &TForm::StaticClass)
                                    .Method("FormCreate", &Tfmain::FormCreate)
                                    .Method("FormShow", &Tfmain::FormShow)
                                    .Method("SpeedButton1Click", &Tfmain::SpeedButton1Click);
  return info;
}

const ClassInfo& Tfmain::ClassType() const { return StaticClass(); }

std::string_view Tfmain::FormDescription() const { return kMainFormDescription; }

template <class T>
T& Tfmain::Part(std::string_view name) const {
  T* part = dynamic_cast<T*>(FindComponent(name));
  if (!part) throw EDatabaseError("Tfmain: component " + std::string(name) + " is missing from the form");
  return *part;
}

TLumoDaoDatabase& Tfmain::Database() const { return Part<TLumoDaoDatabase>("Database"); }
TLumoDaoTable& Tfmain::Logon() const { return Part<TLumoDaoTable>("Logon"); }
TLumoDaoTable& Tfmain::Query() const { return Part<TLumoDaoTable>("query"); }

void Tfmain::FormCreate(TObject* /*sender*/) {
  const std::string path = GetPrivateProfileString("db", "main", "logon1.mdb", JournalIniPath());
  Database().F_Set_Database(path);
  Database().Open();
  if (ParamCount() >= 1) {
    SetWidth(0);
    SetHeight(0);
  }
}

void Tfmain::FormShow(TObject* /*sender*/) {
  if (ParamCount() >= 1 && ParamStr(1) == "/set") {
    const TJournalEvent event = GatherJournalEvent(ParamStr(2));
    if (event.kind == "logoff") {
      StampLogoff(Query(), event, Now());
    } else {
      RecordLogon(Logon(), event, Now());
    }
    Close();
  }
  OpenOverview(Logon(), Date());
}

void Tfmain::SpeedButton1Click(TObject* /*sender*/) {
  Database().Close();
  Database().Open();
  SetSqlLine(Query(), kUpgradeStatement);
  Query().ExecuteSQL();
}

void RegisterJournalClasses() {
  RegisterDaoDatabaseClasses();
  RegisterDaoTableClasses();
  RegisterFieldClasses();
  RegisterGuiClasses();
  RegisterClass(Tfmain::StaticClass());
}

}  // namespace lumo
