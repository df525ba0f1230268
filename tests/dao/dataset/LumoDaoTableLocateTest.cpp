// Locate, the directed searches and the framework's find operations on a real file, on every
// kind of recordset they serve: the seek of a standard table (index choice, partial keys,
// keys after a gap in the index), the criteria search on a clone of a dynaset or snapshot,
// and the scan of a forward-only recordset; scroll events, the current record after a miss,
// and keys that are no values of their fields.

#include "dao/dataset/LumoDaoTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/Field.h"
#include "db/Fields.h"
#include "runtime/DateTime.h"
#include "runtime/FormatSettings.h"
#include "tests/dao/dataset/DatasetTestSupport.h"

namespace lumo {
namespace {

using testing::DaoNumberOf;
using testing::DatasetTest;
using testing::MessageOf;

const TLocateOptions kPartial{TLocateOption::loPartialKey};
const TLocateOptions kCaseInsensitive{TLocateOption::loCaseInsensitive};

class LumoDaoTableLocateTest : public DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    std::vector<std::string> statements = {
        "CREATE TABLE Kunden (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(12), Ort TEXT(20), "
        "Betrag DOUBLE, Seit DATETIME, Aktiv YESNO, Kennung GUID, Jahr SHORT, Monat SHORT, Tag SHORT)",
        "CREATE INDEX ByName ON Kunden (Name)", "CREATE INDEX ByOrtName ON Kunden (Ort, Name)",
        "CREATE INDEX ByDate ON Kunden (Jahr, Monat, Tag)", "CREATE INDEX ByMonth ON Kunden (Monat)"};
    // Rows in ID order; Name and Ort chosen so that index orders differ from it.
    const char* rows[] = {
        "'Schmitt', 'Köln', 1234.5, #12/8/2026 10:20:30#, True, {guid {6F9619FF-8B86-D011-B42D-00C04FC964FF}}, 2026, "
        "12, 8",
        "'Meier', 'Berlin', 10, #1/2/2025#, False, Null, 2025, 1, 2",
        "'Sch*fer', 'Bonn', 2.5, Null, False, Null, 2024, 5, 17",
        "'Mei\"er', Null, Null, #3/4/2024 8:00:00#, True, Null, 2024, 3, 4",
        "'Ab[1]#?', 'Berlin', 7, Null, True, Null, 2023, 5, 1",
        "'Zander', 'Aachen', 99, Null, False, Null, 2025, 5, 30",
        "'Schmidt', 'Köln', 5, Null, True, Null, 2022, 7, 7",
    };
    for (const char* row : rows) {
      statements.push_back(std::string("INSERT INTO Kunden (Name, Ort, Betrag, Seit, Aktiv, Kennung, Jahr, Monat, Tag) "
                                       "VALUES (") +
                           row + ")");
    }
    path_ = MakeDatabase(statements);
    Connect(path_);
    table_->SetName("Kunden");
    table_->F_Set_TableName("Kunden");
    table_->BeforeScroll = [this](TDataSet&) { ++beforeScroll_; };
    table_->AfterScroll = [this](TDataSet&) { ++afterScroll_; };
  }

  void OpenAs(int32_t tableType) {
    table_->Close();
    table_->F_Set_TableType(tableType);
    table_->Open();
    beforeScroll_ = afterScroll_ = 0;
  }
  int Id() const { return table_->FieldByName("ID")->AsInteger(); }
  std::string Name() const { return table_->FieldByName("Name")->AsString(); }

  std::string path_;
  int beforeScroll_ = 0;
  int afterScroll_ = 0;
  ScopedFormatSettings german_{FormatSettings::German()};
};

// --- every recordset type ----------------------------------------------------------------------------

TEST_F(LumoDaoTableLocateTest, LocateFindsOnEveryRecordsetTypeAndMovesOnce) {
  for (int32_t type : {jet::dbOpenTable, jet::dbOpenDynaset, jet::dbOpenSnapshot, jet::dbOpenForwardOnly}) {
    SCOPED_TRACE(type);
    OpenAs(type);
    ASSERT_EQ(Id(), 1);
    EXPECT_TRUE(table_->Locate("Name", Variant("Zander"), {}));
    EXPECT_EQ(Id(), 6);
    EXPECT_EQ(table_->FieldByName("Ort")->AsString(), "Aachen");
    // The scan fires its BeforeScroll and AfterScroll twice, the others once.
    EXPECT_EQ(beforeScroll_, type == jet::dbOpenForwardOnly ? 2 : 1);
    EXPECT_EQ(afterScroll_, type == jet::dbOpenForwardOnly ? 2 : 1);
    if (type != jet::dbOpenForwardOnly) {
      EXPECT_EQ(table_->RecNo(), 6);
      table_->Next();
      EXPECT_EQ(Id(), 7);
      table_->Prior();
      EXPECT_EQ(Id(), 6);
    }

    // A miss: false, the same record, no scroll events (the scan fires one pair).
    beforeScroll_ = afterScroll_ = 0;
    const int before = Id();
    EXPECT_FALSE(table_->Locate("Name", Variant("Niemand"), {}));
    EXPECT_EQ(Id(), before);
    EXPECT_EQ(beforeScroll_, type == jet::dbOpenForwardOnly ? 1 : 0);
    if (type != jet::dbOpenForwardOnly) {
      EXPECT_EQ(table_->RecNo(), 6);
    }
  }
}

TEST_F(LumoDaoTableLocateTest, EveryValueClauseFindsItsRowUnderGermanSettings) {
  for (int32_t type : {jet::dbOpenDynaset, jet::dbOpenSnapshot}) {
    SCOPED_TRACE(type);
    OpenAs(type);
    auto at = [&](const std::string& fields, const Variant& values, TLocateOptions options = {}) {
      table_->First();
      return table_->Locate(fields, values, options) ? Id() : 0;
    };
    EXPECT_EQ(at("Betrag", Variant("1.234,5")), 1);
    EXPECT_EQ(at("Betrag", Variant(2.5)), 3);  // a number written "2,5" and read back
    EXPECT_EQ(at("Seit", Variant("08.12.2026 10:20:30")), 1);
    EXPECT_EQ(at("Seit", Variant::FromDate(EncodeDate(2025, 1, 2))), 2);
    EXPECT_EQ(at("Aktiv;Betrag", VarArrayOf({Variant(true), Variant(7)})), 5);
    EXPECT_EQ(at("Kennung", Variant("{6f9619ff-8b86-d011-b42d-00c04fc964ff}")), 1);
    EXPECT_EQ(at("Ort", Variant::Null()), 4);
    EXPECT_EQ(at("Ort;Name", VarArrayOf({Variant("NULL"), Variant("Mei\"er")})), 4);
    // Text compares without regard to case; the partial key matches at the start only.
    EXPECT_EQ(at("Name", Variant("SCHMIDT")), 7);
    EXPECT_EQ(at("Name", Variant("schmi"), kPartial), 1);
    EXPECT_EQ(at("Name", Variant("mit"), kPartial), 0);
    EXPECT_EQ(at("Name", Variant("SCH"), TLocateOptions{TLocateOption::loPartialKey, TLocateOption::loCaseInsensitive}),
              1);
    // Wildcards in a key are the characters themselves.
    EXPECT_EQ(at("Name", Variant("Sch*"), kPartial), 3);
    EXPECT_EQ(at("Name", Variant("Ab[1]#"), kPartial), 5);
    EXPECT_EQ(at("Name", Variant("Ab[1]#?")), 5);
    EXPECT_EQ(at("Name", Variant("A?"), kPartial), 0);
    EXPECT_EQ(at("Name", Variant("Mei\""), kPartial), 4);
  }
}

// A field of every other type a criterion or a seek has a value for, each with an index of its
// own so that a standard table seeks it.
TEST_F(LumoDaoTableLocateTest, EveryFieldTypeIsFoundByCriteriaAndBySeek) {
  const std::string path =
      MakeDatabase({"CREATE TABLE Werte (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Preis CURRENCY, Anzahl LONG, "
                    "Klein SHORT, Tag DATETIME, Uhrzeit DATETIME, Notiz MEMO)",
                    "CREATE INDEX ByPreis ON Werte (Preis)", "CREATE INDEX ByAnzahl ON Werte (Anzahl)",
                    "CREATE INDEX ByKlein ON Werte (Klein)", "CREATE INDEX ByTag ON Werte (Tag)",
                    "CREATE INDEX ByUhrzeit ON Werte (Uhrzeit)",
                    "INSERT INTO Werte (Preis, Anzahl, Klein, Tag, Uhrzeit, Notiz) "
                    "VALUES (1234.5, 70000, -3, #12/8/2026#, #10:20:30#, 'lang und breit')",
                    "INSERT INTO Werte (Preis, Anzahl, Klein, Tag, Uhrzeit, Notiz) "
                    "VALUES (-0.25, 3, 7, #2/1/2025#, #8:00:00#, 'kurz')",
                    "INSERT INTO Werte (Notiz) VALUES (Null)"},
                   "werte.mdb");
  {
    jet::DBEngine engine("3.6");
    auto database = engine.OpenDatabase(path);
    for (const auto& [field, format] : {std::pair{"Tag", "Short Date"}, std::pair{"Uhrzeit", "Long Time"}}) {
      auto daoField = database->TableDefs().Item("Werte")->Fields().Item(field);
      daoField->Properties().Append(daoField->Properties().CreateProperty("Format", jet::dbText, Variant(format)));
    }
    database->Close();
  }
  Connect(path);
  table_->F_Set_TableName("Werte");
  for (int32_t type : {jet::dbOpenTable, jet::dbOpenDynaset, jet::dbOpenSnapshot}) {
    SCOPED_TRACE(type);
    OpenAs(type);
    table_->LoadIndexDefinitions();
    ASSERT_EQ(table_->FieldByName("Tag")->DataType(), ftDate);
    ASSERT_EQ(table_->FieldByName("Uhrzeit")->DataType(), ftTime);
    ASSERT_EQ(table_->FieldByName("ID")->DataType(), ftAutoInc);
    auto at = [&](const std::string& field, const Variant& value, TLocateOptions options = {}) {
      table_->Last();
      return table_->Locate(field, value, options) ? Id() : 0;
    };
    EXPECT_EQ(at("ID", Variant("2")), 2);
    EXPECT_EQ(at("Preis", Variant("1.234,5")), 1);
    EXPECT_EQ(at("Preis", Variant("-0,25")), 2);
    EXPECT_EQ(at("Anzahl", Variant("70.000")), 1);
    EXPECT_EQ(at("Anzahl", Variant(3)), 2);
    EXPECT_EQ(at("Klein", Variant("-3")), 1);
    EXPECT_EQ(at("Tag", Variant("01.02.2025")), 2);
    EXPECT_EQ(at("Tag", Variant("8. 12. 2026")), 1);
    EXPECT_EQ(at("Uhrzeit", Variant("10:20:30")), 1);
    EXPECT_EQ(at("Uhrzeit", Variant("10:20:31")), 0);
    // An empty key of a number or date is Null; so are Null and "NULL".
    EXPECT_EQ(at("Anzahl", Variant("")), 3);
    EXPECT_EQ(at("Tag", Variant::Null()), 3);
    table_->First();
    EXPECT_FALSE(table_->Locate("Preis", Variant("1.234,6"), {}));
    EXPECT_EQ(Id(), 1);
    if (type != jet::dbOpenTable) {
      // A memo has no index to seek; the criteria find it like text.
      EXPECT_EQ(at("Notiz", Variant("KURZ")), 2);
      EXPECT_EQ(
          at("Notiz", Variant("LANG U"), TLocateOptions{TLocateOption::loPartialKey, TLocateOption::loCaseInsensitive}),
          1);
      EXPECT_EQ(at("Notiz", Variant("NULL")), 3);
    }
  }
}

TEST_F(LumoDaoTableLocateTest, LocateOnTheResultOfAStatement) {
  table_->F_Set_TableName("");
  table_->SQL().SetText("SELECT ID, Name, Ort FROM Kunden WHERE Aktiv ORDER BY Name DESC");
  for (int32_t type : {jet::dbOpenDynaset, jet::dbOpenSnapshot, jet::dbOpenForwardOnly}) {
    SCOPED_TRACE(type);
    OpenAs(type);
    ASSERT_EQ(Name(), "Schmitt");
    // Rows: Schmitt (1), Schmidt (7), Mei"er (4), Ab[1]#? (5); Meier is not active.
    EXPECT_TRUE(table_->Locate("Ort", Variant("köln"), kCaseInsensitive));
    EXPECT_EQ(Id(), 1);
    EXPECT_TRUE(table_->Locate("Ort;Name", VarArrayOf({Variant("Berlin"), Variant("Ab[1]#?")}), {}));
    EXPECT_EQ(Id(), 5);
    EXPECT_FALSE(table_->Locate("Name", Variant("Meier"), {}));
    EXPECT_EQ(Id(), 5);
    if (type != jet::dbOpenForwardOnly) {
      EXPECT_EQ(table_->RecNo(), 4);
      EXPECT_TRUE(table_->LocatePrior("Ort", Variant("Köln"), {}));
      EXPECT_EQ(Id(), 7);
      EXPECT_EQ(table_->RecNo(), 2);
    }
  }
}

// --- lookups ---------------------------------------------------------------------------------------------

TEST_F(LumoDaoTableLocateTest, LookupValuesReadsTheFirstMatchWithoutMoving) {
  for (int32_t type : {jet::dbOpenTable, jet::dbOpenDynaset, jet::dbOpenSnapshot}) {
    SCOPED_TRACE(type);
    OpenAs(type);
    table_->MoveBy(2);
    const int before = Id();
    const int recNo = table_->RecNo();
    Variant one = table_->LookupValues("Name", Variant("Schmitt"), "Ort");
    EXPECT_EQ(one.AsString(), "Köln");
    Variant several =
        table_->LookupValues("Aktiv;Ort", VarArrayOf({Variant(false), Variant("Berlin")}), "ID;Betrag;Seit");
    ASSERT_TRUE(several.IsArray());
    ASSERT_EQ(several.HighBound(), 2);
    EXPECT_EQ(several.Get(0).AsInteger(), 2);
    EXPECT_DOUBLE_EQ(several.Get(1).AsDouble(), 10.0);
    EXPECT_DOUBLE_EQ(several.Get(2).AsDateTime(), EncodeDate(2025, 1, 2));
    // Text compares with "=": a wildcard in the key is the character itself.
    EXPECT_EQ(table_->LookupValues("Name", Variant("Sch*fer"), "Betrag").AsDouble(), 2.5);
    Variant none = table_->LookupValues("Name", Variant("Sch*"), "Betrag");
    EXPECT_EQ(none.Type(), VarType::kBoolean);
    EXPECT_FALSE(none.AsBoolean());
    EXPECT_EQ(table_->LookupValues("Ort", Variant::Null(), "Name").AsString(), "Mei\"er");
    // Nothing moved, nothing stays filtered.
    EXPECT_EQ(Id(), before);
    EXPECT_EQ(table_->RecNo(), recNo);
    EXPECT_EQ(table_->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(table_->RecordCount(), 7);
    table_->Next();
    EXPECT_EQ(table_->RecNo(), recNo + 1);
  }
}

TEST_F(LumoDaoTableLocateTest, LookupValuesComputesCalculatedResultFields) {
  OpenAs(jet::dbOpenDynaset);
  table_->Close();
  auto* name = new TStringField(table_.get());
  name->SetFieldName("Name");
  name->SetSize(12);
  name->SetDataSet(table_.get());
  auto* ort = new TStringField(table_.get());
  ort->SetFieldName("Ort");
  ort->SetSize(20);
  ort->SetDataSet(table_.get());
  auto* label = new TStringField(table_.get());
  label->SetFieldName("Etikett");
  label->SetFieldKind(TFieldKind::fkCalculated);
  label->SetSize(40);
  label->SetDataSet(table_.get());
  table_->OnCalcFields = [](TDataSet& data) {
    data.FieldByName("Etikett")->SetAsString(data.FieldByName("Name")->AsString() + " aus " +
                                             data.FieldByName("Ort")->AsString());
  };
  table_->Open();
  table_->Last();
  EXPECT_EQ(table_->LookupValues("Name", Variant("Meier"), "Etikett").AsString(), "Meier aus Berlin");
  Variant both = table_->LookupValues("Ort", Variant("Aachen"), "Name;Etikett");
  ASSERT_TRUE(both.IsArray());
  EXPECT_EQ(both.Get(0).AsString(), "Zander");
  EXPECT_EQ(both.Get(1).AsString(), "Zander aus Aachen");
  // The current record and its calculated field are its own again.
  EXPECT_EQ(table_->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Name(), "Schmidt");
  EXPECT_EQ(table_->FieldByName("Etikett")->AsString(), "Schmidt aus Köln");
}

// --- the seek of a standard table ------------------------------------------------------------------------

TEST_F(LumoDaoTableLocateTest, StandardTablePrefersAnIndexOfTheKeyFieldsOnlyWithAutoFindIndex) {
  OpenAs(jet::dbOpenTable);
  table_->LoadIndexDefinitions();
  // Two Köln rows: Schmitt (1) and Schmidt (7). By ByOrtName the first is Schmidt; in the
  // order of PrimaryKey, Schmitt.
  table_->F_Set_IndexName("PrimaryKey");
  EXPECT_TRUE(table_->Locate("Ort", Variant("Köln"), {}));
  EXPECT_EQ(Id(), 7);  // AutoFindIndex: ByOrtName holds Ort (and begins with it)
  table_->F_Set_AutoFindIndex(false);
  table_->F_Set_IndexName("PrimaryKey");
  // IndexName first: PrimaryKey does not hold Ort, so the records are compared one by one in
  // its order.
  EXPECT_TRUE(table_->Locate("Ort", Variant("Köln"), {}));
  EXPECT_EQ(Id(), 1);
  table_->F_Set_IndexName("");
  EXPECT_TRUE(table_->Locate("Ort", Variant("Köln"), {}));
  EXPECT_EQ(Id(), 7);

  // No index at all: the component's own error.
  table_->F_Set_AutoFindIndex(true);
  EXPECT_EQ(MessageOf([&] { table_->Locate("Betrag", Variant(7), {}); }),
            "Index Property is Empty!\r\nYou must set an index before using Locate with StandardTables");
}

TEST_F(LumoDaoTableLocateTest, SeekWithPartialKeysAndKeysAfterAGapInTheIndex) {
  OpenAs(jet::dbOpenTable);
  table_->LoadIndexDefinitions();
  table_->F_Set_AutoFindIndex(false);
  table_->F_Set_IndexName("ByDate");
  // Year alone: the first record of 2025 in index order (1 Feb before 30 May).
  EXPECT_TRUE(table_->Locate("Jahr", Variant(2025), {}));
  EXPECT_EQ(Id(), 2);
  // A year without records is no match, not the next year's first record.
  EXPECT_FALSE(table_->Locate("Jahr", Variant(2021), {}));
  EXPECT_EQ(Id(), 2);
  // Month alone lies behind Year in the index: the first May in index order (2023).
  EXPECT_TRUE(table_->Locate("Monat", Variant(5), {}));
  EXPECT_EQ(Id(), 5);
  EXPECT_TRUE(table_->Locate("Jahr;Tag", VarArrayOf({Variant(2025), Variant(30)}), {}));
  EXPECT_EQ(Id(), 6);
  EXPECT_TRUE(table_->Locate("Tag;Monat;Jahr", VarArrayOf({Variant("17"), Variant("5"), Variant("2024")}), {}));
  EXPECT_EQ(Id(), 3);

  // A partial text key on ByName lands on the first name that begins with it, and only there.
  table_->F_Set_IndexName("ByName");
  EXPECT_TRUE(table_->Locate("Name", Variant("sch"), kPartial));
  EXPECT_EQ(Name(), "Sch*fer");  // "*" sorts before letters
  EXPECT_TRUE(table_->Locate("Name", Variant("Schmit"), kPartial));
  EXPECT_EQ(Name(), "Schmitt");
  EXPECT_FALSE(table_->Locate("Name", Variant("Schn"), kPartial));
  EXPECT_EQ(Name(), "Schmitt");
  // Longer than the field: nothing can hold it.
  EXPECT_FALSE(table_->Locate("Name", Variant("Schmittschmitt"), {}));
  EXPECT_FALSE(table_->Locate("Name", Variant("Schmittschmitt"), kPartial));
  // Null keys seek Null.
  table_->F_Set_IndexName("ByOrtName");
  EXPECT_TRUE(table_->Locate("Ort;Name", VarArrayOf({Variant::Null(), Variant("MEI\"ER")}), {}));
  EXPECT_EQ(Id(), 4);
  // The record number of a record found by a seek is counted when asked for.
  EXPECT_EQ(table_->RecNo(), 1);
  table_->Next();
  EXPECT_EQ(Name(), "Zander");
  EXPECT_EQ(table_->RecNo(), 2);
}

TEST_F(LumoDaoTableLocateTest, AnIndexOfKeyFieldsExactlyWinsOverIndexNameOnlyWithAutoFindIndex) {
  OpenAs(jet::dbOpenTable);
  table_->LoadIndexDefinitions();
  // Three May records: by ByMonth in the order they were added (3, 5, 6), by ByDate in year
  // order (5 of 2023 first).
  table_->F_Set_IndexName("ByDate");
  EXPECT_TRUE(table_->Locate("Monat", Variant(5), {}));
  EXPECT_EQ(Id(), 3);
  table_->F_Set_AutoFindIndex(false);
  table_->F_Set_IndexName("ByDate");
  EXPECT_TRUE(table_->Locate("Monat", Variant(5), {}));
  EXPECT_EQ(Id(), 5);
  // The dataset keeps its own order: after 5 (May 2023) in ByDate comes 4 (March 2024).
  table_->Next();
  EXPECT_EQ(Id(), 4);
}

TEST_F(LumoDaoTableLocateTest, TheWidestIndexTheEngineMakesIsSoughtOnAllItsFields) {
  // The engine's indexes stop at ten fields, below the thirteen keys a seek takes.
  std::string columns;
  std::string list;
  for (int i = 1; i <= 11; ++i) {
    columns += ", F" + std::to_string(i) + " LONG";
    if (i <= 10) list += (i > 1 ? ", F" : "F") + std::to_string(i);
  }
  std::vector<std::string> statements = {"CREATE TABLE Breit (ID COUNTER PRIMARY KEY" + columns + ")",
                                         "CREATE INDEX Alle ON Breit (" + list + ")"};
  for (int row = 1; row <= 5; ++row) {
    std::string values;
    for (int i = 1; i <= 11; ++i) values += (i > 1 ? ", " : "") + std::to_string(i >= 10 ? row * 10 : 1);
    statements.push_back("INSERT INTO Breit (" + list + ", F11) VALUES (" + values + ")");
  }
  Connect(MakeDatabase(statements, "breit.mdb"));
  table_->F_Set_TableName("Breit");
  table_->F_Set_TableType(jet::dbOpenTable);
  table_->Open();
  table_->LoadIndexDefinitions();
  table_->F_Set_IndexName("Alle");
  auto keys = [](int count, int last) {
    std::string fields;
    std::vector<Variant> values;
    for (int i = 1; i <= count; ++i) {
      fields += (i > 1 ? ";F" : "F") + std::to_string(i);
      values.push_back(Variant(i >= 10 ? last : 1));
    }
    return std::pair{fields, VarArrayOf(values)};
  };
  const auto [ten, forty] = keys(10, 40);
  EXPECT_TRUE(table_->Locate(ten, forty, {}));
  EXPECT_EQ(table_->FieldByName("ID")->AsInteger(), 4);
  const auto [tenAgain, none] = keys(10, 45);
  EXPECT_FALSE(table_->Locate(tenAgain, none, {}));
  EXPECT_EQ(table_->FieldByName("ID")->AsInteger(), 4);
  // An eleventh key beyond the index is compared on the records the seek reaches.
  const auto [eleven, fifty] = keys(11, 50);
  EXPECT_TRUE(table_->Locate(eleven, fifty, {}));
  EXPECT_EQ(table_->FieldByName("ID")->AsInteger(), 5);
  // The last index field alone: compared in index order from its start.
  EXPECT_TRUE(table_->Locate("F10", Variant(20), {}));
  EXPECT_EQ(table_->FieldByName("ID")->AsInteger(), 2);
}

// --- the directed searches and the framework's find -------------------------------------------------------

TEST_F(LumoDaoTableLocateTest, LocateNextStartsFromTheCurrentRecordLocateFirstDoesNot) {
  for (int32_t type : {jet::dbOpenDynaset, jet::dbOpenSnapshot}) {
    SCOPED_TRACE(type);
    OpenAs(type);
    table_->MoveBy(3);  // ID 4
    EXPECT_TRUE(table_->LocateNext("Aktiv", Variant(true), {}));
    EXPECT_EQ(Id(), 5);
    EXPECT_TRUE(table_->LocateNext("Aktiv", Variant(true), {}));
    EXPECT_EQ(Id(), 7);
    EXPECT_FALSE(table_->LocateNext("Aktiv", Variant(true), {}));
    EXPECT_EQ(Id(), 7);
    EXPECT_TRUE(table_->LocatePrior("Aktiv", Variant(true), {}));
    EXPECT_EQ(Id(), 5);
    EXPECT_TRUE(table_->LocateFirst("Aktiv", Variant(true), {}));
    EXPECT_EQ(Id(), 1);
    EXPECT_EQ(table_->RecNo(), 1);
    EXPECT_TRUE(table_->LocateLast("Ort", Variant("Berlin"), {}));
    EXPECT_EQ(Id(), 5);
    EXPECT_EQ(table_->RecNo(), 5);

    // The framework's find-first/next/prior/last use the find request.
    EXPECT_FALSE(table_->FindFirst());  // none set yet
    table_->SetFindKey("Ort", Variant("köln"), {});
    EXPECT_TRUE(table_->FindFirst());
    EXPECT_EQ(Id(), 1);
    EXPECT_TRUE(table_->FindNext());
    EXPECT_EQ(Id(), 7);
    EXPECT_FALSE(table_->FindNext());
    EXPECT_FALSE(table_->Found());
    EXPECT_TRUE(table_->FindPrior());
    EXPECT_EQ(Id(), 1);
    EXPECT_TRUE(table_->FindLast());
    EXPECT_EQ(Id(), 7);
    table_->F_Set_FindKeyValues(Variant::Null());
    EXPECT_FALSE(table_->FindFirst());
    table_->SetFindKey("", Variant(), {});
  }
  // A standard table has no criteria search: the engine says so, and the record stays.
  OpenAs(jet::dbOpenTable);
  table_->MoveBy(2);
  EXPECT_EQ(DaoNumberOf([&] { table_->LocateNext("Aktiv", Variant(true), {}); }), 3251);
  EXPECT_EQ(Id(), 3);
}

TEST_F(LumoDaoTableLocateTest, ARecordFilterHandlerStopsTheSearchesButNotLookups) {
  OpenAs(jet::dbOpenDynaset);
  table_->OnFilterRecord = [](TDataSet& data, bool& accept) { accept = data.FieldByName("ID")->AsInteger() != 6; };
  table_->SetFiltered(true);
  EXPECT_FALSE(table_->Locate("Name", Variant("Meier"), {}));
  EXPECT_FALSE(table_->LocateFirst("Name", Variant("Meier"), {}));
  table_->SetFindKey("Name", Variant("Meier"), {});
  EXPECT_FALSE(table_->FindFirst());
  EXPECT_EQ(Id(), 1);
  EXPECT_EQ(table_->LookupValues("Name", Variant("Zander"), "Ort").AsString(), "Aachen");
}

// --- the scan of a recordset without bookmarks ----------------------------------------------------------

TEST_F(LumoDaoTableLocateTest, ScanMatchesInsideTheTextAndComesBackAfterAMiss) {
  OpenAs(jet::dbOpenForwardOnly);
  table_->Next();
  table_->Next();
  ASSERT_EQ(Id(), 3);
  // The scan takes a partial key anywhere in the text; the criteria search at the start only.
  EXPECT_TRUE(table_->Locate("Name", Variant("mit"), kPartial));
  EXPECT_EQ(Id(), 1);  // from the first record again
  EXPECT_TRUE(table_->Locate("Name", Variant("*MIDT*"),
                             TLocateOptions{TLocateOption::loPartialKey, TLocateOption::loCaseInsensitive}));
  EXPECT_EQ(Id(), 7);
  // Without options the whole text, case and all.
  EXPECT_FALSE(table_->Locate("Name", Variant("schmidt"), {}));
  EXPECT_EQ(Id(), 7);
  EXPECT_TRUE(table_->Locate("Name", Variant("schmidt"), kCaseInsensitive));
  EXPECT_EQ(Id(), 7);
  // Null matches the key Null only; an empty key does not stand for it.
  EXPECT_TRUE(table_->Locate("Ort", Variant::Null(), {}));
  EXPECT_EQ(Id(), 4);
  EXPECT_FALSE(table_->Locate("Ort", Variant(""), {}));
  EXPECT_EQ(Id(), 4);
  table_->Next();
  EXPECT_EQ(Id(), 5);
  EXPECT_FALSE(table_->LocateFirst("Name", Variant("Meier"), {}));  // no bookmarks, no directed search

  OpenAs(jet::dbOpenDynaset);
  EXPECT_FALSE(table_->Locate("Name", Variant("mit"), kPartial));
}

// --- bad input -------------------------------------------------------------------------------------------

TEST_F(LumoDaoTableLocateTest, BadKeysRaiseClearErrorsAndLeaveRecordAndFileAlone) {
  const std::string before = ShellQuery(path_, "SELECT * FROM Kunden ORDER BY ID");
  for (int32_t type : {jet::dbOpenTable, jet::dbOpenDynaset, jet::dbOpenSnapshot, jet::dbOpenForwardOnly}) {
    SCOPED_TRACE(type);
    OpenAs(type);
    table_->LoadIndexDefinitions();
    table_->Next();
    EXPECT_EQ(MessageOf([&] { table_->Locate("Name;Ort", Variant("Meier"), {}); }),
              "Number of elements in the KeyValues array must be equal to the number of fields.");
    EXPECT_EQ(MessageOf([&] {
                table_->Locate("Name", VarArrayOf({Variant("a"), Variant("b")}), {});
              }),
              "Number of elements in the KeyValues array must be equal to the number of fields.");
    EXPECT_EQ(MessageOf([&] { table_->Locate("Nachname", Variant("Meier"), {}); }),
              "Kunden: Field 'Nachname' not found");
    EXPECT_EQ(MessageOf([&] { table_->Locate("Jahr", Variant("2024 OR 1=1"), {}); }),
              "'2024 OR 1=1' is not a valid floating point value");
    EXPECT_EQ(MessageOf([&] { table_->Locate("Betrag", Variant("viel"), {}); }),
              "'viel' is not a valid floating point value");
    EXPECT_NE(MessageOf([&] { table_->Locate("Seit", Variant("gestern"), {}); }), "");
    EXPECT_EQ(MessageOf([&] { table_->LookupValues("Name", Variant("Meier"), ""); }), "ResultFields are not defined");
    EXPECT_EQ(MessageOf([&] { table_->LookupValues("Name", Variant("Meier"), "Ort;Land"); }),
              "Invalid field name: Land");
    // A quote in a key ends no literal.
    EXPECT_FALSE(table_->Locate("Name", Variant("x\" OR \"1\"=\"1"), {}));
    EXPECT_EQ(Id(), 2);
    // The move to the second record, and the scan's one pair after its miss.
    EXPECT_EQ(beforeScroll_, type == jet::dbOpenForwardOnly ? 2 : 1);
  }
  table_->Close();
  EXPECT_FALSE(table_->Locate("Name", Variant("Meier"), {}));
  EXPECT_EQ(table_->LookupValues("Name", Variant("Meier"), "Ort").Type(), VarType::kBoolean);
  EXPECT_EQ(ShellQuery(path_, "SELECT * FROM Kunden ORDER BY ID"), before);
}

TEST_F(LumoDaoTableLocateTest, NothingToSearchAnswersFalseWithoutEvents) {
  // An empty table of every recordset type: no match, no scroll events, the Boolean false.
  Connect(MakeDatabase(
      {"CREATE TABLE Leer (ID COUNTER PRIMARY KEY, Name TEXT(10))", "CREATE INDEX ByName ON Leer (Name)"}, "leer.mdb"));
  table_->F_Set_TableName("Leer");
  table_->BeforeScroll = [this](TDataSet&) { ++beforeScroll_; };
  table_->AfterScroll = [this](TDataSet&) { ++afterScroll_; };
  for (int32_t type : {jet::dbOpenTable, jet::dbOpenDynaset, jet::dbOpenForwardOnly}) {
    SCOPED_TRACE(type);
    OpenAs(type);
    EXPECT_FALSE(table_->Locate("Name", Variant("x"), {}));
    EXPECT_FALSE(table_->LocateFirst("Name", Variant("x"), {}));
    const Variant none = table_->LookupValues("Name", Variant("x"), "ID");
    EXPECT_EQ(none.Type(), VarType::kBoolean);
    EXPECT_FALSE(none.AsBoolean());
    EXPECT_EQ(beforeScroll_ + afterScroll_, 0);
  }
}

TEST_F(LumoDaoTableLocateTest, KeysLongerThanTheFieldFindNothingOnEveryPath) {
  for (int32_t type : {jet::dbOpenTable, jet::dbOpenDynaset, jet::dbOpenForwardOnly}) {
    SCOPED_TRACE(type);
    OpenAs(type);
    table_->LoadIndexDefinitions();
    table_->Next();
    // Name holds twelve characters: "Schmittschmitt" can only be a miss, also as a start.
    EXPECT_FALSE(table_->Locate("Name", Variant("Schmittschmitt"), {}));
    EXPECT_FALSE(table_->Locate("Name", Variant("Schmittschmitt"), kPartial));
    EXPECT_EQ(Id(), 2);
    if (type == jet::dbOpenDynaset) {
      EXPECT_FALSE(table_->LocateNext("Name", Variant("Schmittschmitt"), {}));
      EXPECT_EQ(table_->LookupValues("Name", Variant("Schmittschmitt"), "ID").Type(), VarType::kBoolean);
    }
  }
}

TEST_F(LumoDaoTableLocateTest, LocatePostsAPendingEditFirst) {
  OpenAs(jet::dbOpenDynaset);
  table_->Edit();
  table_->FieldByName("Ort")->SetAsString("Kleve");
  EXPECT_TRUE(table_->Locate("Name", Variant("Zander"), {}));
  EXPECT_EQ(table_->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(ShellQuery(path_, "SELECT Ort FROM Kunden WHERE ID = 1"), "Kleve");
}

}  // namespace
}  // namespace lumo
