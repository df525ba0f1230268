#pragma once
// What a recording run of the journal needs beyond the form's steps: how long it may wait for
// another session's lock, the time at the precision both stamps of a row share, and a message
// that says which database could not be written and what to look at.
//
// Plain functions; nothing here touches the database.

#include <string>

#include "runtime/DateTime.h"

namespace lumo {

// Without any setting the journal waits this long for a lock: a little less than the session
// module's default time limit of 10 s, so that the journal gives up (and says why) before it
// is stopped.
inline constexpr int kDefaultLockWaitMs = 9000;
// The variable through which the session module tells the journal its time limit (seconds).
inline constexpr const char* kTimeLimitVariable = "LOGONJOURNAL_TIMEOUT";

// The longest the whole recording may wait for locks, in milliseconds: `setting` (the INI's
// [db] locktimeout, in seconds, fractions allowed) when it is a number from 0 to 3600;
// otherwise one second less than `timeLimit` (the module's limit in seconds; half of it
// below 2 s); otherwise kDefaultLockWaitMs.
int LockWaitMs(const std::string& setting, const char* timeLimit);

// `value` without the fraction of its second. Logon and logoff times are both kept at whole
// seconds (the logoff stamp's date literal has no finer unit), so that a logoff is never
// earlier than its logon.
TDateTime WholeSeconds(TDateTime value);

// "cannot write the journal database <path>: <reason>"; when the reason is one of access
// (the file or its folder cannot be opened or written), the set-up the README describes and
// what the file and folder are instead. `waitedMs` is said with lock errors.
std::string RecordingFailureText(const std::string& path, const std::string& reason, int daoNumber,
                                 int waitedMs);

// The same for a journal on a server: "cannot write the journal on <source>: <reason>", with
// the wait for lock errors. `source` names the data source without its password; there is
// no file or folder to describe (what a user may do there is the server's to say).
std::string ServerRecordingFailureText(const std::string& source, const std::string& reason,
                                       int daoNumber, int waitedMs);

}  // namespace lumo
