#include "jet/Recordset.h"

#include <gtest/gtest.h>

#include "jet/Catalogue.h"
#include "jet/DatabaseFile.h"
#include "jet/Field.h"
#include "tests/jet/RecordsetTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoNumberOf;

class RecordsetTestFixture : public testing::RecordsetTestBase {
 protected:
  void SetUp() override {
    RecordsetTestBase::SetUp();
    MakeLogon(5);
  }
};

// Runs on every storage back-end.
class RecordsetTest : public testing::OnEachBackEnd<RecordsetTestFixture> {};
// Looks at what only the file keeps (the engine's properties and object dates).
class RecordsetTestOnFile : public RecordsetTestFixture {};
#ifdef LUMO_TEST_ON_SERVER
// What a server's database has instead.
class RecordsetTestOnServer : public RecordsetTestFixture {
 protected:
  const testing::BackEndCase& BackEnd() const override {
    static const testing::BackEndCase server = testing::ServerBackEnd();
    return server;
  }
};
#endif

TEST_P(RecordsetTest, TypeFollowsTheSourceWhenNoneIsAsked) {
  // A server's table opens as a dynaset over its primary key.
  auto table = Open("Logon");
  EXPECT_EQ(table->Type(), BackEnd().tableRecordsets ? dbOpenTable : dbOpenDynaset);
  EXPECT_TRUE(table->Updatable());
  EXPECT_EQ(table->Restartable(), !BackEnd().tableRecordsets);

  auto dynaset = Open("SELECT * FROM Logon WHERE Typ = 'logon'");
  EXPECT_EQ(dynaset->Type(), dbOpenDynaset);
  EXPECT_TRUE(dynaset->Updatable());
  EXPECT_TRUE(dynaset->Bookmarkable());

  // Grouped rows have no row of a table behind them.
  auto grouped = Open("SELECT Username, Count(*) AS n FROM Logon GROUP BY Username");
  EXPECT_EQ(grouped->Type(), dbOpenSnapshot);
  EXPECT_FALSE(grouped->Updatable());

  // Asked for a dynaset, such a query stays a dynaset that cannot be updated.
  EXPECT_EQ(Open("SELECT DISTINCT Username FROM Logon", dbOpenDynaset)->Type(), dbOpenDynaset);
  EXPECT_FALSE(Open("SELECT DISTINCT Username FROM Logon", dbOpenDynaset)->Updatable());

  EXPECT_FALSE(Open("Logon", dbOpenSnapshot)->Updatable());
  auto forward = Open("Logon", dbOpenSnapshot, dbForwardOnly);
  EXPECT_EQ(forward->Type(), dbOpenForwardOnly);
  EXPECT_FALSE(forward->Bookmarkable());
}

TEST_P(RecordsetTest, BadArgumentsAndSourcesAnswerDaoErrors) {
  EXPECT_EQ(DaoNumberOf([&] { Open("Logon", dbOpenDynamic); }), 3001);
  EXPECT_EQ(DaoNumberOf([&] { Open("Logon", 3); }), 3001);
  EXPECT_EQ(DaoNumberOf([&] { Open("Logon", dbOpenDynaset, dbConsistent | dbInconsistent); }), 3001);
  EXPECT_EQ(DaoNumberOf([&] { Open("Logon", dbOpenDynaset, dbReadOnly, dbReadOnlyLock); }), 3001);
  EXPECT_EQ(DaoNumberOf([&] { Open("Logon", dbOpenDynaset, 0, 9); }), 3001);
  EXPECT_EQ(DaoNumberOf([&] { Open("SELECT * FROM Logon", dbOpenTable); }), 3219);
  EXPECT_EQ(DaoNumberOf([&] { Open("SELECT * FROM Nowhere"); }), 3078);
  EXPECT_EQ(DaoNumberOf([&] { Open("DELETE FROM Logon"); }), 3219);
  EXPECT_EQ(DaoNumberOf([&] { Open("SELECT * FROM Logon WHERE ID = = 1"); }), 3075);
}

TEST_P(RecordsetTest, NamesSQLiteDoesNotKnowAreParametersThatNeedValues) {
  EXPECT_EQ(testing::DaoMessageOf([&] { Open("SELECT * FROM Logon WHERE Username = Who AND Computer = Where1"); }),
            "Too few parameters. Expected 2");

  // A query definition hands its values over by name.
  RecordsetSource source;
  source.name = source.sql = "PARAMETERS Who Text; SELECT Computer FROM Logon WHERE Username = Who ORDER BY ID";
  source.parameters = {{"who", Variant("USER1")}};
  auto recordset = Recordset::Open(database_->File(), source, 0, 0, 0);
  EXPECT_EQ(ReadOn(*recordset, "Computer"), (std::vector<std::string>{"PC1", "PC4"}));
}

TEST_P(RecordsetTest, FieldsDescribeTheColumnsAndWhatCanBeWritten) {
  Execute("CREATE TABLE Notes (Nr LONG NOT NULL, Body MEMO, Picture LONGBINARY, Done YESNO)");
  Execute("ALTER TABLE Notes ADD COLUMN Remark TEXT(10)");
  auto recordset = Open("SELECT ID, Username, logontime, Username & '@' & Computer AS Who FROM Logon");
  Collection<Field>& fields = recordset->Fields();
  ASSERT_EQ(fields.Count(), 4);
  EXPECT_EQ(fields.Item(0)->Type(), dbLong);
  EXPECT_EQ(fields.Item(0)->Attributes() & dbAutoIncrField, dbAutoIncrField);
  EXPECT_FALSE(fields.Item(0)->DataUpdatable());  // a counter numbers itself
  EXPECT_EQ(fields.Item("username")->Type(), dbText);
  EXPECT_EQ(fields.Item("Username")->Size(), 50);
  EXPECT_EQ(fields.Item("Username")->Attributes() & dbUpdatableField, dbUpdatableField);
  EXPECT_EQ(fields.Item("logontime")->Type(), dbDate);
  EXPECT_EQ(fields.Item("Who")->Attributes() & dbUpdatableField, 0);
  EXPECT_EQ(VarToStr(fields.Item("Who")->Value()), "user1@PC1");
  EXPECT_EQ(DaoNumberOf([&] { fields.Item("Nowhere"); }), 3265);

  auto notes = Open("Notes");
  EXPECT_EQ(notes->Fields().Item("Nr")->Required(), true);
  EXPECT_EQ(notes->Fields().Item("Body")->Type(), dbMemo);
  EXPECT_EQ(notes->Fields().Item("Picture")->Type(), dbLongBinary);
  EXPECT_EQ(notes->Fields().Item("Done")->Type(), dbBoolean);
  EXPECT_EQ(notes->Fields().Item("Remark")->Size(), 10);
}

TEST_F(RecordsetTestOnFile, FieldsCarryThePropertiesOfTheirSourceField) {
  database_->File()->Schema().StoreProperty("Logon", "logontime", "Format", dbText, Variant("Short Date"));
  for (int type : {dbOpenTable, dbOpenDynaset, dbOpenSnapshot, dbOpenForwardOnly}) {
    auto recordset = type == dbOpenTable ? Open("Logon", type) : Open("SELECT TOP 2 logontime FROM Logon", type);
    Field& field = *recordset->Fields().Item("logontime");
    EXPECT_EQ(field.SourceTable(), "Logon") << type;
    EXPECT_EQ(VarToStr(field.Properties().Item("Format")->Value()), "Short Date") << type;
  }
}

TEST_P(RecordsetTest, EveryTypeRefusesWhatItCannotDo) {
  auto snapshot = Open("Logon", dbOpenSnapshot);
  EXPECT_EQ(DaoNumberOf([&] { snapshot->Edit(); }), 3251);
  EXPECT_EQ(DaoNumberOf([&] { snapshot->AddNew(); }), 3251);
  EXPECT_EQ(DaoNumberOf([&] { snapshot->Delete(); }), 3251);
  EXPECT_EQ(DaoNumberOf([&] { snapshot->Seek("=", {Variant(1)}); }), 3251);

  auto forward = Open("Logon", dbOpenForwardOnly);
  EXPECT_EQ(DaoNumberOf([&] { forward->MoveFirst(); }), 3251);
  EXPECT_EQ(DaoNumberOf([&] { forward->MoveLast(); }), 3251);
  EXPECT_EQ(DaoNumberOf([&] { forward->MovePrevious(); }), 3251);
  EXPECT_EQ(DaoNumberOf([&] { forward->Move(-1); }), 3251);
  EXPECT_EQ(DaoNumberOf([&] { forward->Bookmark(); }), 3251);
  EXPECT_EQ(DaoNumberOf([&] { forward->Clone(); }), 3251);
  EXPECT_EQ(DaoNumberOf([&] { forward->AbsolutePosition(); }), 3251);
  EXPECT_EQ(DaoNumberOf([&] { forward->FindFirst("ID = 1"); }), 3251);
  EXPECT_EQ(DaoNumberOf([&] { forward->Edit(); }), 3251);
  forward->Move(2);
  EXPECT_EQ(IdOf(*forward), 3);

  if (BackEnd().tableRecordsets) {
    auto table = Open("Logon", dbOpenTable);
    EXPECT_EQ(DaoNumberOf([&] { table->FindFirst("ID = 1"); }), 3251);
    EXPECT_EQ(DaoNumberOf([&] { table->SetFilter("ID = 1"); }), 3251);
    EXPECT_EQ(DaoNumberOf([&] { table->SetSort("ID"); }), 3251);
    EXPECT_EQ(DaoNumberOf([&] { table->Requery(); }), 3251);
  } else {
    // Asked for a table, a server's table is a dynaset, and refuses what a dynaset refuses.
    auto table = Open("Logon", dbOpenTable);
    EXPECT_EQ(table->Type(), dbOpenDynaset);
    EXPECT_EQ(DaoNumberOf([&] { table->SetIndex("PrimaryKey"); }), 3251);
    EXPECT_EQ(DaoNumberOf([&] { table->Seek("=", {Variant(1)}); }), 3251);
  }

  auto dynaset = Open("Logon", dbOpenDynaset);
  EXPECT_EQ(DaoNumberOf([&] { dynaset->SetIndex("PrimaryKey"); }), 3251);

  auto readOnly = Open("Logon", dbOpenDynaset, dbReadOnly);
  EXPECT_FALSE(readOnly->Updatable());
  EXPECT_EQ(DaoNumberOf([&] { readOnly->Edit(); }), 3027);
  EXPECT_EQ(DaoNumberOf([&] { readOnly->AddNew(); }), 3027);
  EXPECT_EQ(DaoNumberOf([&] { readOnly->Fields().Item("Username")->SetValue(Variant("x")); }), 3020);
}

TEST_P(RecordsetTest, ReadOnlyDatabaseGivesRecordsetsThatCannotBeUpdated) {
  DBEngine engine("3.6");
  auto database = engine.OpenDatabase(path_, false, true);
  auto recordset = database->OpenRecordset("Logon", dbOpenDynaset);
  EXPECT_FALSE(recordset->Updatable());
  EXPECT_EQ(DaoNumberOf([&] { recordset->Delete(); }), 3027);
}

TEST_P(RecordsetTest, EmptyRecordsetHasNoCurrentRecord) {
  for (int type : {dbOpenTable, dbOpenDynaset, dbOpenSnapshot, dbOpenForwardOnly}) {
    SCOPED_TRACE(type);
    auto recordset = Open("SELECT * FROM Logon WHERE ID < 0", type == dbOpenTable ? dbOpenDynaset : type);
    if (type == dbOpenTable) {
      Execute("CREATE TABLE Empty1 (A LONG)");
      recordset = Open("Empty1", dbOpenTable);
    }
    EXPECT_TRUE(recordset->IsBOF());
    EXPECT_TRUE(recordset->IsEOF());
    EXPECT_EQ(recordset->RecordCount(), 0);
    EXPECT_EQ(DaoNumberOf([&] { recordset->MoveNext(); }), 3021);
    EXPECT_EQ(DaoNumberOf([&] { recordset->Fields().Item(0)->Value(); }), 3021);
    if (type != dbOpenForwardOnly) {
      EXPECT_EQ(DaoNumberOf([&] { recordset->MoveFirst(); }), 3021);
      EXPECT_EQ(DaoNumberOf([&] { recordset->MoveLast(); }), 3021);
      EXPECT_EQ(DaoNumberOf([&] { recordset->MovePrevious(); }), 3021);
      EXPECT_EQ(DaoNumberOf([&] { recordset->Bookmark(); }), 3021);
      EXPECT_EQ(recordset->AbsolutePosition(), -1);
    }
    if (type == dbOpenTable) Execute("DROP TABLE Empty1");
  }
}

TEST_P(RecordsetTest, ClosedRecordsetAndItsFieldsAnswer3420) {
  auto recordset = Open("Logon", dbOpenDynaset);
  auto field = recordset->Fields().Item("Username");
  recordset->Close();
  EXPECT_EQ(DaoNumberOf([&] { recordset->MoveNext(); }), 3420);
  EXPECT_EQ(DaoNumberOf([&] { recordset->RecordCount(); }), 3420);
  EXPECT_EQ(DaoNumberOf([&] { recordset->Close(); }), 3420);
  EXPECT_EQ(DaoNumberOf([&] { field->Value(); }), 3420);
  EXPECT_EQ(database_->Recordsets().Count(), 0);
}

TEST_P(RecordsetTest, FilterAndSortTakeEffectInTheNextRecordset) {
  auto recordset = Open("SELECT * FROM Logon ORDER BY ID");
  recordset->SetFilter("Username = 'USER1'");
  recordset->SetSort("Computer DESC");
  // The recordset itself is unchanged.
  EXPECT_EQ(ReadOn(*recordset, "ID").size(), 5u);
  auto filtered = recordset->OpenRecordset();
  EXPECT_EQ(filtered->Type(), dbOpenDynaset);
  EXPECT_EQ(ReadOn(*filtered, "Computer"), (std::vector<std::string>{"PC4", "PC1"}));

  // A filter of a filtered recordset narrows it further; a snapshot made from it is one.
  filtered->SetFilter("ID > 1");
  auto narrower = filtered->OpenRecordset(dbOpenSnapshot);
  EXPECT_EQ(narrower->Type(), dbOpenSnapshot);
  EXPECT_EQ(ReadOn(*narrower, "ID"), (std::vector<std::string>{"4"}));

  // Over grouped rows the filter and sort apply to the result.
  auto grouped = Open("SELECT Username, Count(*) AS n FROM Logon GROUP BY Username");
  grouped->SetFilter("n > 1");
  grouped->SetSort("Username DESC");
  EXPECT_EQ(ReadOn(*grouped->OpenRecordset(), "Username"), (std::vector<std::string>{"user2", "user1"}));

  // The snapshot a table-type recordset makes follows its index.
  if (BackEnd().tableRecordsets) {
    Execute("CREATE INDEX ByComputer ON Logon (Computer DESC)");
    auto table = Open("Logon");
    table->SetIndex("ByComputer");
    auto snapshot = table->OpenRecordset(dbOpenSnapshot);
    snapshot->MoveLast();
    EXPECT_EQ(snapshot->RecordCount(), 5);
    snapshot->MoveFirst();
    EXPECT_EQ(ReadOn(*snapshot, "Computer"), (std::vector<std::string>{"PC5", "PC4", "PC3", "PC2", "PC1"}));
  }

  auto unknown = Open("Logon", dbOpenDynaset);
  unknown->SetFilter("Nobody = 1");
  EXPECT_EQ(DaoNumberOf([&] { unknown->OpenRecordset(); }), 3061);
}

TEST_P(RecordsetTest, MaxRecordsLimitsTheRows) {
  RecordsetSource source;
  source.name = source.sql = "SELECT * FROM Logon ORDER BY ID DESC";
  source.maxRecords = 3;
  for (int type : {dbOpenDynaset, dbOpenSnapshot, dbOpenForwardOnly}) {
    auto recordset = Recordset::Open(database_->File(), source, type, 0, 0);
    EXPECT_EQ(ReadOn(*recordset, "ID"), (std::vector<std::string>{"5", "4", "3"})) << type;
  }
  auto recordset = Open("SELECT * FROM Logon");
  recordset->SetMaxRecords(2);
  recordset->Requery();
  recordset->MoveLast();
  EXPECT_EQ(recordset->RecordCount(), 2);
}

TEST_P(RecordsetTest, RequeryReadsAgainAndStartsANewBookmarkNumbering) {
  auto recordset = Open("SELECT * FROM Logon WHERE Typ = 'logon'");
  recordset->MoveLast();
  EXPECT_EQ(recordset->RecordCount(), 5);
  const Variant bookmark = recordset->Bookmark();
  AddLogon("user9", "PC9", 30);
  recordset->Requery();
  EXPECT_EQ(IdOf(*recordset), 1);
  EXPECT_EQ(recordset->RecordCount(), 1);  // counting starts again
  // Bookmarks of before the requery name nothing now.
  EXPECT_EQ(DaoNumberOf([&] { recordset->SetBookmark(bookmark); }), 3159);
  recordset->MoveLast();
  EXPECT_EQ(recordset->RecordCount(), 6);
  // The numbering starts again with the first row asked for.
  EXPECT_EQ(recordset->Bookmark(), Variant(std::vector<uint8_t>{1, 0, 0, 0}));
  EXPECT_EQ(IdOf(*recordset), 6);
}

TEST_F(RecordsetTestOnFile, DatesOfTheTableComeFromTheCatalogue) {
  auto recordset = Open("Logon");
  EXPECT_EQ(recordset->DateCreated().Type(), VarType::kDate);
  EXPECT_EQ(recordset->LastUpdated().Type(), VarType::kDate);
  EXPECT_TRUE(Open("SELECT * FROM Logon")->DateCreated().IsNull());
  auto query = database_->CreateQueryDef("Recent", "SELECT * FROM Logon WHERE ID > 2");
  EXPECT_EQ(query->OpenRecordset()->DateCreated().Type(), VarType::kDate);
}

#ifdef LUMO_TEST_ON_SERVER
// A server keeps no object dates nor saved query definitions of the engine's.
TEST_F(RecordsetTestOnServer, TablesHaveNoDatesAndQueriesAreNotSaved) {
  EXPECT_TRUE(Open("Logon")->DateCreated().IsNull());
  EXPECT_TRUE(Open("Logon")->LastUpdated().IsNull());
  EXPECT_EQ(DaoNumberOf([&] { database_->CreateQueryDef("Recent", "SELECT * FROM Logon WHERE ID > 2"); }), 3251);
  // A temporary one works.
  auto query = database_->CreateQueryDef("", "SELECT * FROM Logon WHERE ID > 2");
  EXPECT_EQ(ReadOn(*query->OpenRecordset(), "ID"), (std::vector<std::string>{"3", "4", "5"}));
}
#endif

TEST_P(RecordsetTest, AnOutsideReaderSeesTheRowsARecordsetWrote) {
  auto recordset = Open("Logon", dbOpenDynaset);
  recordset->AddNew();
  recordset->Fields().Item("Username")->SetValue(Variant("shell"));
  recordset->Fields()
      .Item("logontime")
      ->SetValue(Variant::FromDate(EncodeDate(2026, 12, 24) + EncodeTime(7, 5, 9, 123)));
  recordset->Update();
  recordset->MoveFirst();
  recordset->Edit();
  recordset->Fields().Item("Typ")->SetValue(Variant("logoff"));
  recordset->Update();
  EXPECT_EQ(Outside("SELECT ID, Username, logontime FROM Logon WHERE Username = 'shell'"),
            "6|shell|2026-12-24 07:05:09.123\n");
  EXPECT_EQ(Outside("SELECT Typ FROM Logon WHERE ID = 1"), "logoff\n");
}

LUMO_ON_EACH_BACK_END(RecordsetTest);

}  // namespace
}  // namespace lumo::jet
