#pragma once
// Shared by the recordset tests: a fresh journal-like database per test, opened through the
// engine, a second engine for "another process", and helpers that read a recordset out.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/Recordset.h"
#include "tests/jet/BackEndTestSupport.h"
#include "tests/jet/EngineTestSupport.h"

namespace lumo::jet::testing {

class RecordsetTestBase : public TempFolderTest {
 protected:
  // The back-end the test runs on: the file back-end, unless the fixture runs on each
  // (OnEachBackEnd).
  virtual const BackEndCase& BackEnd() const {
    static const BackEndCase file = FileBackEnd();
    return file;
  }

  void SetUp() override {
    TempFolderTest::SetUp();
    path_ = BackEnd().locate(folder_, "journal");
    database_ = BackEnd().create(engine_, path_);
  }
  void TearDown() override {
    database_.reset();
    other_.reset();
    TempFolderTest::TearDown();
  }

  void Execute(const std::string& sql) { database_->Execute(sql, dbFailOnError); }
  // SQL run on the database by another program (BackEndCase::outside).
  std::string Outside(const std::string& sql) const { return BackEnd().outside(path_, sql); }

  // The Logon table of the journal with `rows` rows: user<i % 3>, PC<i>, a logon time i
  // minutes after 8:00 on 8 Dec 2026.
  void MakeLogon(int rows) {
    Execute(
        "CREATE TABLE Logon (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Username TEXT(50), "
        "Computer TEXT(20), logontime DATETIME, logofftime DATETIME, IP TEXT(20), "
        "Betriebssystem TEXT(50), Typ TEXT(10))");
    // One transaction: a commit per row would wait for the disk every time.
    auto workspace = engine_.DefaultWorkspace();
    workspace->BeginTrans();
    for (int i = 1; i <= rows; ++i) AddLogon("user" + std::to_string(i % 3), "PC" + std::to_string(i), i);
    workspace->CommitTrans();
  }
  // A row logged on `minute` minutes after 8:00 on 8 Dec 2026 (minute < 960).
  void AddLogon(const std::string& user, const std::string& computer, int minute) {
    Execute("INSERT INTO Logon (Username, Computer, logontime, Typ) VALUES ('" + user + "', '" + computer +
            "', #12/8/2026 " + std::to_string(8 + minute / 60) + ":" + std::to_string(minute % 60) + ":00#, 'logon')");
  }

  std::shared_ptr<Recordset> Open(const std::string& source, int type = 0, int options = 0, int lock = 0) {
    return database_->OpenRecordset(source, type, options, lock);
  }

  // The same file opened by a second engine, as another process would.
  Database& Other() {
    if (!other_) other_ = BackEnd().open(otherEngine_, path_);
    return *other_;
  }

  // The text of one field on every row from the current one to EOF.
  static std::vector<std::string> ReadOn(Recordset& recordset, const std::string& field) {
    std::vector<std::string> values;
    for (; !recordset.IsEOF(); recordset.MoveNext()) {
      values.push_back(VarToStr(recordset.Fields().Item(field)->Value()));
    }
    return values;
  }
  // The same, walking backwards from the current row to BOF.
  static std::vector<std::string> ReadBack(Recordset& recordset, const std::string& field) {
    std::vector<std::string> values;
    for (; !recordset.IsBOF(); recordset.MovePrevious()) {
      values.push_back(VarToStr(recordset.Fields().Item(field)->Value()));
    }
    return values;
  }
  static Variant Value(Recordset& recordset, const std::string& field) {
    return recordset.Fields().Item(field)->Value();
  }
  static int IdOf(Recordset& recordset) { return recordset.Fields().Item("ID")->Value().AsInteger(); }

  DBEngine engine_{"3.6"};
  DBEngine otherEngine_{"3.6"};
  std::string path_;  // where the database lives (the file back-end: its path)
  std::shared_ptr<Database> database_;
  std::shared_ptr<Database> other_;
};

}  // namespace lumo::jet::testing
