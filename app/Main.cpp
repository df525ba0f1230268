// The journal form's handlers and the recording, stamping and overview steps behind them.

#include "app/Main.h"

#include <algorithm>
#include <cstdlib>

#include "app/JournalSource.h"
#include "app/Recording.h"
#include "dao/database/LumoDaoDataBase.h"
#include "dao/dataset/LumoDaoTable.h"
#include "db/Fields.h"
#include "gui/Application.h"
#include "jet/Database.h"
#include "jet/DatabaseFile.h"
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
    "select id from logon where username= '%s' and computer='%s' and (logofftime is Null) order by "
    "logontime desc";
constexpr const char* kStampStatement = "update logon set logofftime = %s where id = %d";
constexpr const char* kStillOpenCondition = " and (logofftime is Null)";
// Open rows a logoff tries before it gives up: each one it misses was stamped by another
// logoff, and there are never many open rows of one user on one computer.
constexpr int kMaxStampAttempts = 100;
constexpr const char* kOverviewStatement =
    "select * from logon where logontime > %s order by logontime desc";

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

std::string StillOpenStampStatement(TDateTime now, int32_t id) {
  return StampStatement(now, id) + kStillOpenCondition;
}

std::string OverviewStatement(TDateTime today) {
  return Format(kOverviewStatement, AccessDateLiteral(today));
}

void RecordLogon(TLumoDaoTable& logon, const TJournalEvent& event, TDateTime now) {
  logon.Open();
  logon.InsertRecord({Variant(event.user), Variant(event.computer),
                      Variant::FromDate(WholeSeconds(now)), Variant(event.addresses),
                      Variant(event.system), Variant(event.kind)});
  logon.Close();
}

namespace {

// The ID of the newest open row of the event's user and computer, or -1.
int32_t NewestOpenRow(TLumoDaoTable& query, const TJournalEvent& event) {
  SetSqlLine(query, OpenRowStatement(event.user, event.computer));
  query.Open();
  int32_t id = -1;
  if (query.RecordCount() != 0) id = query.FieldByName("id")->AsInteger();
  query.Close();
  return id;
}

}  // namespace

int32_t StampLogoff(TLumoDaoDatabase& database, TLumoDaoTable& query, const TJournalEvent& event,
                    const std::function<TDateTime()>& clock) {
  database.StartTransaction();
  try {
    const TDateTime now = clock();
    int32_t stamped = -1;
    for (int attempt = 0; attempt < kMaxStampAttempts && stamped < 0; ++attempt) {
      const int32_t id = NewestOpenRow(query, event);
      if (id < 0) break;
      SetSqlLine(query, StillOpenStampStatement(now, id));
      if (query.ExecuteSQL() == 1) stamped = id;
    }
    database.Commit();
    return stamped;
  } catch (...) {
    try {
      if (database.InTransaction()) database.Rollback();
    } catch (...) {
      // The failure that ended the stamp is the one to report.
    }
    throw;
  }
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
  if (!part)
    throw EDatabaseError("Tfmain: component " + std::string(name) + " is missing from the form");
  return *part;
}

TLumoDaoDatabase& Tfmain::Database() const { return Part<TLumoDaoDatabase>("Database"); }
TLumoDaoTable& Tfmain::Logon() const { return Part<TLumoDaoTable>("Logon"); }
TLumoDaoTable& Tfmain::Query() const { return Part<TLumoDaoTable>("query"); }

namespace {

bool RecordingMode() { return ParamCount() >= 1 && ParamStr(1) == "/set"; }

}  // namespace

template <class Step>
void Tfmain::Recording(Step step) {
  if (!RecordingMode()) {
    step();
    return;
  }
  try {
    step();
  } catch (Exception& error) {
    const auto* engine = dynamic_cast<const EOleException*>(&error);
    const int number = engine != nullptr ? engine->ErrorCode() : 0;
    error.SetMessage(
        source_.OnServer()
            ? ServerRecordingFailureText(JournalSourceText(source_), error.Message(), number,
                                         givenWaitMs_)
            : RecordingFailureText(Database().Database(), error.Message(), number, givenWaitMs_));
    throw;
  }
}

void Tfmain::LeaveLockWait() {
  const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started_);
  givenWaitMs_ = std::max(0, lockWaitMs_ - static_cast<int>(spent.count()));
  // A wait of 0 would mean the engine's default; one millisecond is as good as none.
  Database().DaoDatabase()->File()->SetBusyTimeoutMs(std::max(givenWaitMs_, 1));
}

void Tfmain::FormCreate(TObject* /*sender*/) {
  started_ = std::chrono::steady_clock::now();
  const std::string ini = JournalIniPath();
  lockWaitMs_ = LockWaitMs(GetPrivateProfileString("db", "locktimeout", "", ini),
                           std::getenv(kTimeLimitVariable));
  if (ParamCount() >= 1) {
    SetWidth(0);
    SetHeight(0);
  }
  source_ = ReadJournalSource(ini);
  ApplyJournalSource(Database(), source_, CurrentUserName());
  Recording([&] {
    Database().Open();
    if (RecordingMode()) LeaveLockWait();
  });
}

void Tfmain::FormShow(TObject* /*sender*/) {
  if (RecordingMode()) {
    const TJournalEvent event = GatherJournalEvent(ParamStr(2));
    Recording([&] {
      // The facts may have taken their time (a slow name service): the wait ends when it would
      // have ended had the lock been met at once.
      if (Database().Connected()) LeaveLockWait();
      if (event.kind == "logoff") {
        StampLogoff(Database(), Query(), event, Now);
      } else {
        RecordLogon(Logon(), event, Now());
      }
    });
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
