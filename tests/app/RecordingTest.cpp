// What a recording run adds to the form's steps: the wait for locks it is given, the common
// precision of logon and logoff times, and the message of a recording that cannot write.

#include "app/Recording.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/support/TestSupport.h"

namespace lumo {
namespace {

namespace fs = std::filesystem;

TEST(RecordingTest, LockWaitIsTheSettingElseJustUnderTheModulesLimit) {
  EXPECT_EQ(LockWaitMs("2.5", "10"), 2500);
  EXPECT_EQ(LockWaitMs("0", nullptr), 0);
  EXPECT_EQ(LockWaitMs("", "10"), 9000);
  EXPECT_EQ(LockWaitMs("", "30"), 29000);
  // Below two seconds, half the limit, so that the journal still ends before it is stopped.
  EXPECT_EQ(LockWaitMs("", "1"), 500);
  EXPECT_EQ(LockWaitMs("", nullptr), kDefaultLockWaitMs);
  // What is no number of seconds from 0 to an hour counts as unset.
  for (const char* bad : {"abc", "-1", "3601", "5s", "inf", "nan", " "}) {
    EXPECT_EQ(LockWaitMs(bad, "20"), 19000) << bad;
    EXPECT_EQ(LockWaitMs("", bad), kDefaultLockWaitMs) << bad;
  }
  EXPECT_EQ(LockWaitMs("", "0"), kDefaultLockWaitMs);
}

TEST(RecordingTest, LogonAndLogoffTimesShareWholeSecondsSoALogoffNeverPrecedesItsLogon) {
  const TDateTime logon = ComposeDateTime(EncodeDate(2026, 12, 9), EncodeTime(23, 59, 59, 900));
  const DateTimeParts cut = SplitDateTime(WholeSeconds(logon));
  EXPECT_EQ(cut.Day, 9);
  EXPECT_EQ(cut.Hour * 3600 + cut.Minute * 60 + cut.Second, 86399);
  EXPECT_EQ(cut.MilliSecond, 0);
  // A session of a tenth of a second across the second's boundary: the logoff's stamp (its
  // literal has whole seconds) is later than the logon, not 900 ms earlier.
  const TDateTime logoff = ComposeDateTime(EncodeDate(2026, 12, 10), EncodeTime(0, 0, 0, 0));
  EXPECT_LT(WholeSeconds(logon), logoff);
  // One in the same second is equal, never earlier.
  EXPECT_EQ(WholeSeconds(logon), WholeSeconds(ComposeDateTime(EncodeDate(2026, 12, 9), EncodeTime(23, 59, 59, 5))));
}

class RecordingFailureTest : public lumo::testing::TemporaryFolderTest {
 protected:
  RecordingFailureTest() : TemporaryFolderTest("lumo-recording") {}
  void SetUp() override {
    TemporaryFolderTest::SetUp();
    chmod(folder_.c_str(), 02750);
    database_ = (folder_ / "logon.mdb").string();
    std::ofstream(database_) << "x";
    chmod(database_.c_str(), 0640);
  }

  std::string database_;
};

TEST_F(RecordingFailureTest, AccessProblemsNameTheDatabaseTheSetUpAndWhatIsThereInstead) {
  // Run by hand, not by the session module: the group is the one the set-up names.
  ASSERT_EQ(getegid(), getgid());
  const std::string text =
      RecordingFailureText(database_, "Cannot update. Database or object is read-only", 3027, 9000);
  EXPECT_EQ(text, "cannot write the journal database " + database_ +
                      ": Cannot update. Database or object is read-only; is it root:logonjournal 660 in a folder "
                      "root:logonjournal 2770, as app/README.md describes? (the file is root:root 640, the folder "
                      "is root:root 2750)");
  const std::string missing = (folder_ / "gone.mdb").string();
  EXPECT_EQ(RecordingFailureText(missing, "Could not find file", 3024, 9000),
            "cannot write the journal database " + missing +
                ": Could not find file; is it root:logonjournal 660 in a folder root:logonjournal 2770, as "
                "app/README.md describes? (the file cannot be seen: No such file or directory, the folder is root:root "
                "2750)");
}

TEST_F(RecordingFailureTest, LockProblemsSayHowLongTheJournalWaitedAndOtherProblemsOnlyWhatHappened) {
  EXPECT_EQ(RecordingFailureText(database_, "Could not update; currently locked.", 3218, 8960),
            "cannot write the journal database " + database_ +
                ": Could not update; currently locked. (waited 9.0 s for another session's lock)");
  // Root may write anything, so a file root can use is no question of the set-up.
  ASSERT_EQ(geteuid(), 0u);
  EXPECT_EQ(RecordingFailureText(database_, "Unrecognized database format", 3343, 9000),
            "cannot write the journal database " + database_ + ": Unrecognized database format");
}

TEST(RecordingTest, ServerProblemsNameTheSourceAndNoFileSetUp) {
  // The source given is the file path's place: there is nothing of a file to describe, even
  // when a file of that name happens to lie in the working folder.
  EXPECT_EQ(ServerRecordingFailureText("ODBC;DSN=logonjournal", "ODBC--call failed. permission denied", 3146, 9000),
            "cannot write the journal on ODBC;DSN=logonjournal: ODBC--call failed. permission denied");
  EXPECT_EQ(ServerRecordingFailureText("logonjournal", "Could not update; currently locked.", 3218, 4000),
            "cannot write the journal on logonjournal: Could not update; currently locked. (waited 4.0 s for another "
            "session's lock)");
}

}  // namespace
}  // namespace lumo
