#include "dao/dataset/LumoDaoTable.h"

#include <gtest/gtest.h>

#include "DatasetTestSupport.h"
#include "dao/dataset/DaoUtils.h"
#include "db/DataSource.h"
#include "db/Fields.h"
#include "jet/Field.h"
#include "jet/JetTypes.h"
#include "jet/Property.h"
#include "jet/Recordset.h"
#include "jet/TableDef.h"
#include "runtime/DateTime.h"
#include "runtime/FormReader.h"
#include "runtime/FormWriter.h"

namespace lumo {
namespace {

using testing::MessageOf;

// Ten rows 1..10 in a table of its own.
std::vector<std::string> TenRows() {
  std::vector<std::string> sql = {
      "CREATE TABLE Items (ID COUNTER PRIMARY KEY, Name TEXT(20), Amount DOUBLE, Flag YESNO)"};
  for (int i = 1; i <= 10; ++i) {
    sql.push_back("INSERT INTO Items (Name, Amount, Flag) VALUES ('item" + std::to_string(i) + "', " +
                  std::to_string(i) + ".5, " + (i % 2 == 0 ? "True" : "False") + ")");
  }
  return sql;
}

class LumoDaoTableTest : public testing::DatasetTest {};

// --- properties ------------------------------------------------------------------------------------

TEST_F(LumoDaoTableTest, StartsWithThePublishedDefaults) {
  TLumoDaoTable table(nullptr);
  EXPECT_TRUE(table.AutoFindIndex());
  EXPECT_EQ(table.ComponentVersion(), "9.10");
  table.F_Set_ComponentVersion("1.0");
  EXPECT_EQ(table.ComponentVersion(), "9.10");
  EXPECT_EQ(table.TableType(), 2);
  EXPECT_EQ(table.LockType(), 3);
  EXPECT_TRUE(table.OpenOptions().Empty());
  EXPECT_TRUE(table.MasterAutoActivate());
  EXPECT_FALSE(table.DatabaseAutoActivate());
  EXPECT_TRUE(table.UseBrackets());
  EXPECT_TRUE(table.UseDaoProperties());
  EXPECT_TRUE(table.UseGetRecNo());
  EXPECT_TRUE(table.UseRecordCount());
  EXPECT_TRUE(table.ParamCheck());
  EXPECT_FALSE(table.ReadOnly());
  EXPECT_FALSE(table.LockEdits());
  EXPECT_EQ(table.TableDateCreated(), "");
  EXPECT_FALSE(table.Active());
  // The published table lists the properties in their streaming order.
  const auto& properties = TLumoDaoTable::StaticClass().Properties();
  std::vector<std::string> names;
  for (const auto& property : properties) names.push_back(property.name);
  auto position = [&](const char* name) { return std::find(names.begin(), names.end(), name) - names.begin(); };
  EXPECT_LT(position("AutoFindIndex"), position("ComponentVersion"));
  EXPECT_LT(position("TableName"), position("SortedBy"));
  EXPECT_LT(position("ParamCheck"), position("ProcessMessages"));
  EXPECT_LT(position("ProcessMessages"), position("BeforeOpen"));
  EXPECT_EQ(names.back(), "Active");
}

TEST_F(LumoDaoTableTest, SourcesExcludeEachOther) {
  TLumoDaoTable table(nullptr);
  table.SQL().Add("select * from x");
  table.F_Set_TableName("");
  EXPECT_EQ(table.SQL().Count(), 1);  // an empty name changes nothing else
  table.F_Set_TableName("Items");
  EXPECT_EQ(table.SQL().Count(), 0);
  TStringList sql;
  sql.Add("select 1");
  table.F_Set_SQL(sql);
  EXPECT_EQ(table.TableName(), "");
  table.F_Set_QueryDefName("Stored");
  EXPECT_EQ(table.SQL().Count(), 0);
}

TEST_F(LumoDaoTableTest, TableTypeDecidesAboutSortAndIndex) {
  TLumoDaoTable table(nullptr);
  EXPECT_EQ(MessageOf([&] { table.F_Set_IndexName("PrimaryKey"); }),
            "TLumoDaoTable.F_Set_IndexName: Indexes can be set only on Standard Tables!");
  table.SortedBy().Add("Name");
  table.F_Set_TableType(1);
  EXPECT_EQ(table.SortedBy().Count(), 0);
  table.F_Set_IndexName("PrimaryKey");
  table.SortedBy().Add("Name");
  table.F_Set_TableType(1);
  EXPECT_EQ(table.IndexName(), "PrimaryKey");
  table.F_Set_TableType(2);
  EXPECT_EQ(table.IndexName(), "");
  EXPECT_EQ(table.SortedBy().Count(), 0);
  table.SortedBy().Add("Name");
  table.F_Set_TableType(4);
  EXPECT_EQ(table.SortedBy().Count(), 1);
  table.F_Set_TableType(8);
  EXPECT_EQ(table.SortedBy().Count(), 0);
}

TEST_F(LumoDaoTableTest, ActiveTableRefusesSourceChangesAndKeepsValues) {
  Connect(MakeDatabase(TenRows()));
  table_->F_Set_TableName("Items");
  table_->Open();
  EXPECT_EQ(MessageOf([&] { table_->F_Set_TableName("Other"); }),
            "TLumoDaoTable.F_Set_TableName: Cannot set TableName while Table is active!");
  EXPECT_EQ(MessageOf([&] { table_->F_Set_TableType(1); }),
            "TLumoDaoTable.F_Set_TableType: Cannot set TableType while Table is active!");
  EXPECT_EQ(MessageOf([&] { table_->F_Set_LockType(2); }),
            "TLumoDaoTable.F_Set_LockType: Cannot set LockType while Table is active!");
  EXPECT_EQ(MessageOf([&] { table_->F_Set_Database(nullptr); }),
            "TLumoDaoTable.F_Set_Database: Cannot set Database while Table is Active!");
  EXPECT_EQ(MessageOf([&] { table_->F_Set_QueryDefName("q"); }),
            "TLumoDaoTable.F_Set_QueryDefName: Cannot set QueryDefName while Table is Active!");
  EXPECT_EQ(table_->TableName(), "Items");
  EXPECT_EQ(table_->TableType(), 2);
  EXPECT_EQ(table_->LockType(), 3);
  EXPECT_EQ(table_->Database(), database_.get());
}

TEST_F(LumoDaoTableTest, OpenRefusesWithoutUsableDatabase) {
  TLumoDaoTable table(nullptr);
  table.F_Set_TableName("Items");
  EXPECT_EQ(MessageOf([&] { table.Open(); }), "TLumoDaoTable.OpenDaoRecordset: Missing Database Property");
  const std::string path = MakeDatabase(TenRows());
  TLumoDaoDatabase database(nullptr);
  database.F_Set_Database(path);
  table.F_Set_Database(&database);
  EXPECT_EQ(MessageOf([&] { table.Open(); }), "TLumoDaoTable.OpenDaoRecordset: Database is NOT connected");
  EXPECT_EQ(MessageOf([&] { table.ExecuteSQL(); }),
            "TLumoDaoTable.ExecuteSQL: Cannot execute SQL query while Database is not Assigned "
            "or Connected!");
  table.F_Set_DatabaseAutoActivate(true);
  table.Open();
  EXPECT_TRUE(database.Connected());
  table.Close();
  table.F_Set_TableType(16);
  EXPECT_EQ(MessageOf([&] { table.Open(); }),
            "TLumoDaoTable.OpenDaoRecordset: DynamicTables are for ODBC connections only!");
  TLumoDaoTable empty(nullptr);
  empty.F_Set_Database(&database);
  EXPECT_EQ(MessageOf([&] { empty.Open(); }),
            "TLumoDaoTable.OpenDaoRecordset: Missing TableName or QueryDefName, or SQL is empty!");
}

TEST_F(LumoDaoTableTest, ReadOnlyFollowsDatabaseAndRecordsetType) {
  const std::string path = MakeDatabase(TenRows());
  TLumoDaoDatabase database(nullptr);
  database.F_Set_Database(path);
  database.F_Set_ReadOnly(true);
  database.Open();
  TLumoDaoTable table(nullptr);
  table.F_Set_Database(&database);
  table.F_Set_ReadOnly(true);
  table.F_Set_ReadOnly(false);
  EXPECT_TRUE(table.ReadOnly());
  database.Close();
  database.F_Set_ReadOnly(false);
  database.Open();
  table.F_Set_ReadOnly(false);
  table.F_Set_TableName("Items");
  table.F_Set_TableType(4);
  table.Open();
  EXPECT_FALSE(table.CanModify());
  table.Close();
  EXPECT_TRUE(table.ReadOnly());  // forced by the snapshot and kept after closing
}

TEST_F(LumoDaoTableTest, OpenOptionsBecomeTheEngineOptionSum) {
  Connect(MakeDatabase(TenRows()));
  table_->F_Set_TableName("Items");
  table_->F_Set_OpenOptions(TOOSet{TOO::dbForwardOnly});
  table_->Open();
  EXPECT_EQ(table_->OptionsValue(), 256);
  EXPECT_EQ(table_->DaoRecordset()->Type(), jet::dbOpenForwardOnly);
  table_->Close();
  EXPECT_EQ(table_->OptionsValue(), 0);
  table_->F_Set_OpenOptions(TOOSet{TOO::dbDenyWrite, TOO::dbFailOnError});
  EXPECT_EQ(table_->OpenOptions().Mask(), 129u);
}

TEST_F(LumoDaoTableTest, SortedByLinesJoinWithCommaAndTrailingBlank) {
  Connect(MakeDatabase(TenRows()));
  table_->F_Set_TableName("Items");
  table_->SortedBy().Add("Flag");
  table_->SortedBy().Add("Amount DESC");
  table_->Open();
  EXPECT_EQ(table_->SortText(), "Flag, Amount DESC ");
  // True is -1 and sorts before False; within it the larger amount first.
  EXPECT_EQ(table_->FieldByName("Name")->AsString(), "item10");
  table_->Next();
  EXPECT_EQ(table_->FieldByName("Name")->AsString(), "item8");
}

TEST_F(LumoDaoTableTest, NamelessDatasetGetsAnAutomaticNameAtOpen) {
  Connect(MakeDatabase(TenRows()));
  table_->F_Set_TableName("Items");
  table_->Open();
  EXPECT_EQ(table_->Name().rfind("LumoDaoTable_", 0), 0u);
  EXPECT_EQ(database_->OpenDatasets().IndexOf(table_->Name()), 0);
  table_->Close();
  EXPECT_EQ(database_->OpenDatasets().Count(), 0);
}

// --- field definitions and defaults ------------------------------------------------------------------

class LumoDaoTableFieldTest : public LumoDaoTableTest {
 protected:
  // Table T with defaults set through the engine's table definition, and a Format property
  // on the time column.
  std::string MakeTypedTable() {
    const std::string path = PathOf("typed.mdb");
    jet::DBEngine engine("3.6");
    auto db = engine.CreateDatabase(path, jet::dbLangGeneral);
    auto def = db->CreateTableDef("T");
    auto add = [&](const char* name, int type, int size, const char* defaultValue) {
      auto field = def->CreateField(name, type, size);
      if (defaultValue != nullptr) field->SetDefaultValue(defaultValue);
      def->Fields().Append(field);
      return field;
    };
    auto id = def->CreateField("ID", jet::dbLong);
    id->SetAttributes(jet::dbAutoIncrField | jet::dbFixedField);
    def->Fields().Append(id);
    add("Name", jet::dbText, 30, "\"abc\"");
    add("Other", jet::dbText, 30, "Null");
    add("Since", jet::dbDate, 0, "#1/15/2003#");
    add("AtTime", jet::dbDate, 0, nullptr);
    add("Notes", jet::dbMemo, 0, nullptr);
    add("Key", jet::dbGUID, 0, nullptr);
    add("Price", jet::dbCurrency, 0, nullptr);
    db->TableDefs().Append(def);
    auto timeField = db->TableDefs().Item("T")->Fields().Item("AtTime");
    timeField->Properties().Append(
        timeField->Properties().CreateProperty("Format", jet::dbText, Variant("medium time")));
    db->Close();
    return path;
  }
};

TEST_F(LumoDaoTableFieldTest, EngineTypesBecomeFieldDefinitions) {
  Connect(MakeTypedTable());
  table_->F_Set_TableName("T");
  table_->Open();
  TFieldDefs& defs = table_->FieldDefs();
  ASSERT_EQ(defs.Count(), 8);
  EXPECT_EQ(defs.Find("ID").DataType(), ftAutoInc);
  EXPECT_EQ(defs.Find("Name").DataType(), ftString);
  EXPECT_EQ(defs.Find("Name").Size(), 30);
  EXPECT_EQ(defs.Find("Since").DataType(), ftDateTime);  // no Format property
  EXPECT_EQ(defs.Find("AtTime").DataType(), ftTime);
  EXPECT_EQ(defs.Find("Notes").DataType(), ftMemo);
  EXPECT_EQ(defs.Find("Key").DataType(), ftBytes);
  EXPECT_EQ(defs.Find("Key").Precision(), kGuidPrecision);
  EXPECT_EQ(defs.Find("Price").DataType(), ftCurrency);
  EXPECT_TRUE(table_->FieldByName("ID")->ReadOnly());
  EXPECT_FALSE(table_->UpdatableFlags()[0]);
  EXPECT_TRUE(table_->UpdatableFlags()[1]);
}

TEST_F(LumoDaoTableFieldTest, EngineDefaultsAreShownInNewRecords) {
  Connect(MakeTypedTable());
  table_->F_Set_TableName("T");
  table_->Open();
  const auto& defaults = table_->DefaultValueList();
  EXPECT_EQ(defaults[0], "");     // counter
  EXPECT_EQ(defaults[1], "abc");  // quotes removed
  EXPECT_EQ(defaults[2], "");     // Null
  EXPECT_EQ(defaults[3], std::to_string(DateTimeToTimeStamp(EncodeDate(2003, 1, 15)).Date) + " 0");
  table_->Append();
  EXPECT_EQ(table_->FieldByName("Name")->AsString(), "abc");
  EXPECT_EQ(table_->FieldByName("Since")->AsDateTime(), EncodeDate(2003, 1, 15));
  table_->FieldByName("Other")->SetAsString("x");
  table_->Post();
  // The unchanged default was left to the engine, which stored it as well.
  EXPECT_EQ(ShellQuery(PathOf("typed.mdb"), "SELECT Name, Other, Since FROM T"), "abc|x|2003-01-15 00:00:00.000");
}

TEST_F(LumoDaoTableFieldTest, StringFieldNeverReadsPastItsSize) {
  Connect(
      MakeDatabase({"CREATE TABLE S (Name TEXT(50))", "INSERT INTO S VALUES ('\xC3\xA4\xC3\xB6\xC3\xBC-and-more')"}));
  TComponent form(nullptr);
  table_->F_Set_TableName("S");
  auto* name = new TStringField(&form);
  name->SetFieldName("Name");
  name->SetSize(2);
  name->SetDataSet(table_.get());
  table_->Open();
  EXPECT_EQ(name->AsString(), "\xC3\xA4\xC3\xB6");  // two characters, none split
  table_->Close();
  name->SetDataSet(nullptr);
}

// --- navigation, counts and bookmarks -------------------------------------------------------------

class LumoDaoTableNavigationTest : public LumoDaoTableTest {
 protected:
  void OpenItems(int tableType = 2) {
    path_ = MakeDatabase(TenRows());
    Connect(path_);
    table_->F_Set_TableName("Items");
    table_->F_Set_TableType(tableType);
    table_->Open();
  }
  std::string Name() { return table_->FieldByName("Name")->AsString(); }
  std::string path_;
};

TEST_F(LumoDaoTableNavigationTest, EmptyTableHasNoPositionCountOrNumber) {
  Connect(MakeDatabase({"CREATE TABLE E (ID COUNTER PRIMARY KEY, Name TEXT(10))"}));
  table_->F_Set_TableName("E");
  table_->Open();
  EXPECT_TRUE(table_->Eof());
  EXPECT_TRUE(table_->IsEmpty());
  EXPECT_EQ(table_->CurrentPosition(), -1);
  table_->Last();
  EXPECT_EQ(table_->CurrentPosition(), -1);
  EXPECT_EQ(table_->RecordCount(), 0);
  EXPECT_EQ(table_->RecNo(), -1);
}

TEST_F(LumoDaoTableNavigationTest, TenRecordsScrollBothWays) {
  OpenItems();
  EXPECT_EQ(Name(), "item1");
  EXPECT_EQ(table_->RecNo(), 1);
  int seen = 1;
  while (true) {
    table_->Next();
    if (table_->Eof()) break;
    ++seen;
  }
  EXPECT_EQ(seen, 10);
  table_->Last();
  EXPECT_EQ(Name(), "item10");
  EXPECT_EQ(table_->CurrentPosition(), 9);  // at the end (10), then one record back
  EXPECT_EQ(table_->RecNo(), 10);
  table_->Prior();
  EXPECT_EQ(Name(), "item9");
  EXPECT_EQ(table_->RecNo(), 9);
  table_->SetRecNo(4);
  EXPECT_EQ(Name(), "item4");
  EXPECT_EQ(table_->RecordCount(), 10);
  table_->First();
  EXPECT_TRUE(table_->Bof());
  EXPECT_EQ(Name(), "item1");
}

TEST_F(LumoDaoTableNavigationTest, PositionAtEndStandsAfterTheLastRecord) {
  OpenItems();
  table_->PositionAtEnd();
  EXPECT_EQ(table_->CurrentPosition(), 10);
  TRecordBuffer buffer = table_->NewRecordBuffer();
  EXPECT_EQ(table_->FetchRecord(buffer, TGetMode::gmPrior, false), TGetResult::grOK);
  EXPECT_EQ(table_->CurrentPosition(), 9);
  EXPECT_EQ(table_->FetchRecord(buffer, TGetMode::gmNext, false), TGetResult::grEOF);
  EXPECT_EQ(table_->HighestPosition(), 10);
  table_->DisposeRecordBuffer(buffer);
  EXPECT_EQ(buffer, nullptr);
}

TEST_F(LumoDaoTableNavigationTest, ForwardOnlyCannotCountOrGoBack) {
  OpenItems(8);
  EXPECT_TRUE(table_->ReadOnly());
  EXPECT_EQ(Name(), "item1");
  EXPECT_EQ(table_->RecordCount(), -1);
  table_->Next();
  table_->Next();
  EXPECT_EQ(Name(), "item3");
  EXPECT_EQ(table_->RecNo(), 3);
  TRecordBuffer buffer = table_->NewRecordBuffer();
  EXPECT_EQ(table_->FetchRecord(buffer, TGetMode::gmPrior, false), TGetResult::grBOF);
  table_->DisposeRecordBuffer(buffer);
}

TEST_F(LumoDaoTableNavigationTest, BookmarksGoBackAndRefuseStrangers) {
  OpenItems();
  table_->SetRecNo(3);
  TBookmark third = table_->GetBookmark();
  ASSERT_EQ(third.size(), 4u);
  table_->Last();
  TBookmark last = table_->GetBookmark();
  EXPECT_EQ(table_->CompareBookmarks(third, last), -1);
  EXPECT_EQ(table_->CompareBookmarkOrder(TBookmark(), last), 1);
  EXPECT_EQ(table_->CompareBookmarkOrder(last, last), 0);
  table_->GotoBookmark(third);
  EXPECT_EQ(Name(), "item3");
  EXPECT_TRUE(table_->BookmarkValid(last));
  EXPECT_EQ(Name(), "item3");  // checking does not move the dataset
  TBookmark stranger("\x77\x00\x00\x00", 4);
  EXPECT_FALSE(table_->BookmarkValid(stranger));
  EXPECT_EQ(MessageOf([&] { table_->GoToBookmarkPosition(stranger); }), "Invalid Bookmark!");
  EXPECT_EQ(MessageOf([&] { table_->GoToBookmarkPosition(TBookmark()); }), "Invalid Bookmark!");
  EXPECT_EQ(MessageOf([&] { table_->GoToBookmarkPosition(TBookmark(4, '\0')); }), "Bookmarks are not supported!");
  table_->WriteBookmarkText(TBookmark());  // nothing happens
  EXPECT_EQ(Name(), "item3");
  table_->Close();
  EXPECT_EQ(MessageOf([&] { table_->GoToBookmarkPosition(third); }),
            "TLumoDaoTable.InternalGotoBookmark: Cannot goto Bookmark - Table is not Active");
}

TEST_F(LumoDaoTableNavigationTest, SecondCountWithoutChangesStaysOffTheEngine) {
  OpenItems(1);  // a standard table counts live rows
  int engineCalls = 0;
  table_->OnEngineCall = [&](const char*) { ++engineCalls; };
  EXPECT_EQ(table_->RecordCount(), 10);
  const int afterFirst = engineCalls;
  // Another program adds a row; the cached count does not ask the engine again.
  EXPECT_EQ(ShellQuery(path_, "INSERT INTO Items (Name) VALUES ('other')"), "");
  EXPECT_EQ(table_->RecordCount(), 10);
  EXPECT_EQ(engineCalls, afterFirst);
  table_->Refresh();
  EXPECT_EQ(table_->RecordCount(), 11);
  EXPECT_GT(engineCalls, afterFirst);
}

TEST_F(LumoDaoTableNavigationTest, CountAfterPostCountsAgain) {
  OpenItems();
  EXPECT_EQ(table_->RecordCount(), 10);
  table_->AppendRecord({Variant(), Variant("new"), Variant(1.0)});
  EXPECT_EQ(Name(), "new");
  EXPECT_EQ(table_->RecordCount(), 11);
  EXPECT_EQ(table_->RecNo(), 11);
}

TEST_F(LumoDaoTableNavigationTest, StandardTableNumbersRecordsAfterPosting) {
  OpenItems(1);
  table_->SetRecNo(4);
  table_->Edit();
  table_->FieldByName("Amount")->SetAsFloat(40);
  table_->Post();
  EXPECT_EQ(Name(), "item4");
  EXPECT_EQ(table_->RecNo(), 4);
  table_->AppendRecord({Variant(), Variant("item11")});
  EXPECT_EQ(Name(), "item11");
  EXPECT_EQ(table_->RecNo(), 11);
  EXPECT_EQ(table_->RecordCount(), 11);
}

TEST_F(LumoDaoTableNavigationTest, FilterHandlerHidesRecordsFromCountAndNumbers) {
  OpenItems();
  table_->OnFilterRecord = [this](TDataSet&, bool& accept) { accept = table_->FieldByName("Flag")->AsBoolean(); };
  table_->SetFiltered(true);
  table_->First();
  EXPECT_EQ(Name(), "item2");
  EXPECT_EQ(table_->RecordCount(), 5);
  table_->SetRecNo(3);
  EXPECT_EQ(Name(), "item6");
  EXPECT_EQ(table_->RecNo(), 3);
}

TEST_F(LumoDaoTableNavigationTest, RowDeletedByAnotherProgramIsRecoveredFrom) {
  OpenItems();
  table_->SetRecNo(5);
  EXPECT_EQ(Name(), "item5");
  EXPECT_EQ(ShellQuery(path_, "DELETE FROM Items WHERE Name = 'item5'"), "");
  table_->Refresh();
  EXPECT_TRUE(table_->Active());
  EXPECT_EQ(table_->RecordCount(), 9);
  EXPECT_NE(Name(), "item5");
  // Deleting a row someone else deleted already is recovered from without an error.
  table_->SetRecNo(2);
  EXPECT_EQ(ShellQuery(path_, "DELETE FROM Items WHERE Name = 'item2'"), "");
  table_->Delete();
  EXPECT_TRUE(table_->Active());
  EXPECT_EQ(ShellQuery(path_, "SELECT count(*) FROM Items"), "8");
}

// --- memo, GUID and translation services ------------------------------------------------------------

class LumoDaoTableServicesTest : public LumoDaoTableTest {
 protected:
  void OpenNotes(bool cacheMemos, bool showGuid) {
    path_ = MakeDatabase({"CREATE TABLE N (ID COUNTER PRIMARY KEY, Body MEMO, Key GUID)",
                          "INSERT INTO N (Body, Key) VALUES ('first line' & Chr(13) & Chr(10) & "
                          "'second line', {guid {0011AABB-CCDD-EEFF-0011-223344556677}})"});
    Connect(path_);
    table_->F_Set_TableName("N");
    table_->F_Set_CacheMemos(cacheMemos);
    table_->F_Set_ShowGUID(showGuid);
    table_->Open();
  }
  const std::string& Entry(int index) {
    return reinterpret_cast<TDaoRecordHeader*>(table_->ActiveBuffer())->ValueList->text[index];
  }
  std::string path_;
};

TEST_F(LumoDaoTableServicesTest, CachedMemoShowsItsFirstLine) {
  OpenNotes(true, false);
  EXPECT_EQ(Entry(1), "first line\r\nsecond line");
  EXPECT_EQ(table_->FieldByName("Body")->DisplayText(), "first line");
  EXPECT_GE(table_->FieldByName("Body")->DisplayWidth(), 30);
}

TEST_F(LumoDaoTableServicesTest, UncachedMemoHoldsOnlyItsSize) {
  OpenNotes(false, false);
  EXPECT_EQ(Entry(1), "23");
  EXPECT_FALSE(static_cast<bool>(table_->FieldByName("Body")->OnGetText));
}

TEST_F(LumoDaoTableServicesTest, GuidFieldsShowAndTakeBracedText) {
  OpenNotes(false, true);
  TField* key = table_->FieldByName("Key");
  EXPECT_EQ(Entry(2), "{guid {0011AABB-CCDD-EEFF-0011-223344556677}}");
  EXPECT_EQ(key->DisplayText(), "{0011AABB-CCDD-EEFF-0011-223344556677}");
  EXPECT_TRUE(key->IsValidChar('F'));
  EXPECT_FALSE(key->IsValidChar('G'));
  table_->Edit();
  key->SetText("{0011AABB-CCDD-EEFF-0011-22334455667}");  // 37 characters: ignored
  EXPECT_EQ(key->DisplayText(), "{0011AABB-CCDD-EEFF-0011-223344556677}");
  key->SetText("{99999999-8888-7777-6666-555555555555}");
  table_->Post();
  EXPECT_EQ(ShellQuery(path_, "SELECT Key FROM N"), "{99999999-8888-7777-6666-555555555555}");
}

TEST_F(LumoDaoTableServicesTest, TranslationConvertsOnlyBetweenDistinctTexts) {
  TLumoDaoTable table(nullptr);
  table.F_Set_Translation(true);
  std::string text = "\xC3\xA4";  // a-umlaut
  EXPECT_EQ(table.TranslateText(&text, &text, true), 0);
  EXPECT_EQ(text, "\xC3\xA4");
  std::string oem;
  EXPECT_EQ(table.TranslateText(&text, &oem, true), 1);
  EXPECT_EQ(oem, "\x84");  // code page 850
  std::string back;
  table.TranslateText(&oem, &back, false);
  EXPECT_EQ(back, text);
}

TEST_F(LumoDaoTableServicesTest, StandardTableReportsItsDates) {
  Connect(MakeDatabase(TenRows()));
  table_->F_Set_TableName("Items");
  EXPECT_EQ(table_->TableDateCreated(), "");
  table_->F_Set_TableType(1);
  table_->Open();
  EXPECT_NE(table_->TableDateCreated(), "");
  EXPECT_NE(table_->TableLastUpdated(), "");
  EXPECT_FALSE(table_->LockEdits());  // optimistic locking by default
  EXPECT_EQ(table_->RecordCount(), 10);
  table_->F_Set_OpenOptions(TOOSet{TOO::dbReadOnly});  // reopens at the first record
  EXPECT_EQ(table_->OptionsValue(), 4);
  EXPECT_EQ(table_->FieldByName("Name")->AsString(), "item1");
}

}  // namespace
}  // namespace lumo
