#pragma once
// Tfmain: the journal's one window, "Logon-Übersicht", read from Main.frm. Started with
// "/set <kind>" it records one logon (or stamps the logoff of the open row) and closes;
// started plainly it shows the rows logged since midnight today, newest first. Its button
// upgrades an older database by adding the logofftime column.
//
// The journal handles no error itself: every error ends the running handler and reaches the
// application's default handler (a message box, or without a display standard error and a
// non-zero exit status of a recording run).

#include "app/JournalSource.h"
#include "app/Mtools.h"
#include "gui/Form.h"
#include "runtime/DateTime.h"

#include <chrono>
#include <functional>
#include <string>

namespace lumo {

class TLumoDaoDatabase;
class TLumoDaoTable;

// The facts of one recorded event, gathered once per run.
struct TJournalEvent {
  std::string kind;  // the second argument, letters A-Z lower-cased
  std::string user;
  std::string computer;
  std::string addresses;  // dotted IPv4 addresses joined by CR LF
  std::string system;     // OSName + " " + CSDVersion
};

// The operating-system text of a row: OSName, one blank, CSDVersion (the blank stays when
// there is no service-pack text).
std::string SystemText(const TVersionsInfo& info);

// The event of this run: the facts of this machine and `argument` as its kind.
TJournalEvent GatherJournalEvent(const std::string& argument);

// The find-the-open-row statement for a user and a computer. Apostrophes in the names are
// doubled, so that a name such as o'brien neither breaks the statement nor matches the rows
// of anybody else.
std::string OpenRowStatement(const std::string& user, const std::string& computer);
std::string StampStatement(TDateTime now, int32_t id);
// The stamp as it is sent: StampStatement with the re-check that the row is still open, so
// that a row another logoff stamped meanwhile is never stamped twice.
std::string StillOpenStampStatement(TDateTime now, int32_t id);
std::string OverviewStatement(TDateTime today);
extern const char* const kUpgradeStatement;

// Writes one row for `event` through `logon` (opened on its table and closed again), with
// `now` at whole seconds.
void RecordLogon(TLumoDaoTable& logon, const TJournalEvent& event, TDateTime now);
// Stamps the time `clock` tells into the newest open row of the event's user and computer,
// looked up with `query`; writes nothing when there is none. Answers the stamped row's ID, or
// -1. Look-up and stamp are one transaction of `database`'s workspace, which holds the write
// lock from its start, so that logoffs of one user at the same time stamp different rows;
// should the row be stamped all the same, the next open row is taken. The clock is read once
// the lock is held: a logon that got in while this logoff waited is never stamped with a time
// before it began.
int32_t StampLogoff(TLumoDaoDatabase& database, TLumoDaoTable& query, const TJournalEvent& event,
                    const std::function<TDateTime()>& clock);
// Opens `logon` on the rows logged after midnight of `today`, newest first.
void OpenOverview(TLumoDaoTable& logon, TDateTime today);

class Tfmain : public TForm {
 public:
  explicit Tfmain(TComponent* owner);

  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  // Connects the database; in recording mode a failure names the database and, for access
  // problems, the set-up to check.
  void FormCreate(TObject* sender);
  void FormShow(TObject* sender);
  void SpeedButton1Click(TObject* sender);

  // The components of the description.
  TLumoDaoDatabase& Database() const;
  TLumoDaoTable& Logon() const;
  TLumoDaoTable& Query() const;

 protected:
  std::string_view FormDescription() const override;

 private:
  template <class T>
  T& Part(std::string_view name) const;
  // Runs one step of a recording; an error leaves it with RecordingFailureText as its message.
  template <class Step>
  void Recording(Step step);
  // Gives the busy handler what is left of the recording's wait for locks.
  void LeaveLockWait();

  TJournalSource source_;  // what the INI file names, read by FormCreate
  int lockWaitMs_ = 0;     // for the whole recording, from FormCreate on
  int givenWaitMs_ = 0;    // what LeaveLockWait gave the last step
  std::chrono::steady_clock::time_point started_;
};

// The INI file of the journal: the executable's path with the extension ".ini".
std::string JournalIniPath();

// Registers every class the journal's form description names.
void RegisterJournalClasses();

}  // namespace lumo
