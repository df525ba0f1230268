#include "runtime/ClassInfo.h"
#include "runtime/Component.h"
#include "runtime/FormReader.h"
#include "runtime/FormText.h"
#include "runtime/FormWriter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace lumo {
namespace {

// What the test components report while they are read: setters called in the loading
// state, FinishLoading calls with what the component saw at that moment.
std::vector<std::string> gJournal;

// --- test classes: one of every property kind ------------------------------------------------

enum class TFieldType { ftUnknown, ftString, ftInteger, ftDate };

class TTestParam : public TObject {
 public:
  static const ClassInfo& StaticClass() {
    using T = TTestParam;
    static const ClassInfo info =
        ClassBuilder<T>("TTestParam", &TObject::StaticClass)
            .String("Name", &T::Name, &T::SetName)
            .Enumeration("DataType", &T::DataType, &T::SetDataType, {"ftUnknown", "ftString", "ftInteger", "ftDate"},
                         TFieldType::ftUnknown);
    return info;
  }
  const ClassInfo& ClassType() const override { return StaticClass(); }

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  TFieldType DataType() const { return dataType_; }
  void SetDataType(TFieldType dataType) { dataType_ = dataType; }

 private:
  std::string name_;
  TFieldType dataType_ = TFieldType::ftUnknown;
};

class TTestParams {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  TTestParam* Items(int index) const { return items_.at(static_cast<size_t>(index)).get(); }
  TTestParam* Add() { return items_.emplace_back(std::make_unique<TTestParam>()).get(); }
  void Clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<TTestParam>> items_;
};

class TTestFont : public TObject {
 public:
  static const ClassInfo& StaticClass() {
    using T = TTestFont;
    static const ClassInfo info = ClassBuilder<T>("TTestFont", &TObject::StaticClass)
                                      .String("Name", &T::name_, &T::name_, "MS Sans Serif")
                                      .Integer("Size", &T::size_, &T::size_, 8)
                                      .Set("Style", &T::style_, &T::style_, {"fsBold", "fsItalic", "fsUnderline"});
    return info;
  }
  const ClassInfo& ClassType() const override { return StaticClass(); }

  std::string name_ = "MS Sans Serif";
  int size_ = 8;
  uint8_t style_ = 0;
};

class TTestDatabase : public TComponent {
 public:
  using TConnectEvent = Event<void(TTestDatabase* database)>;

  explicit TTestDatabase(TComponent* owner) : TComponent(owner) {}
  static const ClassInfo& StaticClass() {
    using T = TTestDatabase;
    static const ClassInfo info = ClassBuilder<T>("TTestDatabase", &TComponent::StaticClass)
                                      .Boolean("Connected", &T::Connected, &T::SetConnected, false)
                                      .Boolean("Exclusive", &T::exclusive_, &T::exclusive_, false)
                                      .String("DatabaseType", &T::DatabaseType, &T::SetDatabaseType, "Access")
                                      .Integer("QueryTimeout", &T::QueryTimeout, &T::SetQueryTimeout, 60)
                                      .Event("OnBeforeConnect", &T::OnBeforeConnect);
    return info;
  }
  const ClassInfo& ClassType() const override { return StaticClass(); }

  bool Connected() const { return connected_; }
  void SetConnected(bool connected) { connected_ = connected; }
  const std::string& DatabaseType() const { return databaseType_; }
  void SetDatabaseType(const std::string& type) {
    gJournal.push_back("DatabaseType set" +
                       std::string(HasState(ComponentStateFlag::kLoading) ? " while loading" : ""));
    databaseType_ = type;
  }
  int32_t QueryTimeout() const { return queryTimeout_; }
  void SetQueryTimeout(int32_t seconds) {
    if (seconds < 0) throw EDatabaseError("QueryTimeout must not be negative");
    queryTimeout_ = seconds;
  }

  // Raw bytes kept beside the published properties, streamed as binary data.
  void DeclareStreamedData(StreamedData& data) override {
    data.DefineProperty(
        "Signature",
        [this](const FormValue& value) {
          if (value.kind != FormValueKind::kBinary) throw EFilerError("Invalid property value");
          signature_ = value.text;
        },
        [this] { return FormValue::Binary(signature_); }, [this] { return !signature_.empty(); });
  }

  void FinishLoading() override {
    gJournal.push_back("finish " + Name() + (HasState(ComponentStateFlag::kLoading) ? " (still loading)" : ""));
  }

  TConnectEvent OnBeforeConnect;
  std::string signature_;

 private:
  bool connected_ = false;
  bool exclusive_ = false;
  std::string databaseType_ = "Access";
  int32_t queryTimeout_ = 60;
};

enum class TExportMethod { VisibleFields, AllFields };

class TTestTable : public TComponent {
 public:
  using TFilterRecordEvent = Event<void(TTestTable* dataSet, bool& accept)>;

  explicit TTestTable(TComponent* owner) : TComponent(owner) {}
  static const ClassInfo& StaticClass() {
    using T = TTestTable;
    static const ClassInfo info =
        ClassBuilder<T>("TTestTable", &TComponent::StaticClass)
            .String("ComponentVersion", &T::ComponentVersion, &T::SetComponentVersion, "9.10")
            .NotStored()
            .Component("Database", &T::Database, &T::SetDatabase)
            .Component("MasterSource", &T::masterSource_, &T::masterSource_)
            .Strings("SQL", &T::SQL, &T::SetSQL)
            .String("Filter", &T::filter_, &T::filter_)
            .Integer("TableType", &T::tableType_, &T::tableType_, 2)
            .Float("Rate", &T::rate_, &T::rate_, 0)
            .Set("OpenOptions", &T::openOptions_, &T::openOptions_,
                 {"dbDenyWrite", "dbDenyRead", "dbReadOnly", "dbAppendOnly", "dbInconsistent", "dbConsistent",
                  "dbSQLPassThrough", "dbFailOnError", "dbForwardOnly", "dbSeeChanges", "dbRunAsync", "dbExecDirect"})
            .Enumeration("ExportMethod", &T::exportMethod_, &T::exportMethod_, {"VisibleFields", "AllFields"},
                         TExportMethod::VisibleFields)
            .Collection("Columns", &T::columns_)
            .Event("OnFilterRecord", &T::OnFilterRecord);
    return info;
  }
  const ClassInfo& ClassType() const override { return StaticClass(); }

  std::string ComponentVersion() const { return "9.10"; }
  void SetComponentVersion(const std::string&) {}  // fixed; a stored value changes nothing
  TTestDatabase* Database() const { return database_; }
  void SetDatabase(TTestDatabase* database) {
    database_ = database;
    if (database != nullptr) database->FreeNotification(this);
  }
  const TStringList& SQL() const { return sql_; }
  void SetSQL(const TStrings& lines) { sql_.Assign(lines); }

  void DeclareStreamedData(StreamedData& data) override { data.DefineCollection("ParamData", params_); }

  void NotifyComponentChange(TComponent* component, Operation operation) override {
    if (operation == Operation::kRemove && component == database_) database_ = nullptr;
  }

  void FinishLoading() override {
    gJournal.push_back("finish " + Name() + " with database " +
                       (database_ != nullptr ? database_->Name() : std::string("none")));
  }

  TFilterRecordEvent OnFilterRecord;
  TComponent* masterSource_ = nullptr;
  std::string filter_;
  int64_t tableType_ = 2;
  double rate_ = 0;
  uint32_t openOptions_ = 0;
  TExportMethod exportMethod_ = TExportMethod::VisibleFields;
  TTestParams columns_;
  TTestParams params_;

 private:
  TTestDatabase* database_ = nullptr;
  TStringList sql_;
};

// A visual container and a control that can sit in it.
class TTestPanel : public TComponent {
 public:
  explicit TTestPanel(TComponent* owner) : TComponent(owner) {}
  static const ClassInfo& StaticClass() {
    using T = TTestPanel;
    static const ClassInfo info =
        ClassBuilder<T>("TTestPanel", &TComponent::StaticClass).String("Caption", &T::caption_, &T::caption_);
    return info;
  }
  const ClassInfo& ClassType() const override { return StaticClass(); }
  TComponent* GetParentComponent() const override { return parent_; }
  void SetParentComponent(TComponent* parent) override { parent_ = parent; }

  std::string caption_;

 private:
  TComponent* parent_ = nullptr;
};

class TTestButton : public TTestPanel {
 public:
  explicit TTestButton(TComponent* owner) : TTestPanel(owner) {}
  static const ClassInfo& StaticClass() {
    using T = TTestButton;
    static const ClassInfo info =
        ClassBuilder<T>("TTestButton", &TTestPanel::StaticClass).Event("OnClick", &T::OnClick);
    return info;
  }
  const ClassInfo& ClassType() const override { return StaticClass(); }

  Event<void(TObject* sender)> OnClick;
};

class TTestForm : public TComponent {
 public:
  explicit TTestForm(TComponent* owner) : TComponent(owner) {}
  ~TTestForm() override { DestroyComponents(); }
  static const ClassInfo& StaticClass() {
    using T = TTestForm;
    static const ClassInfo info = ClassBuilder<T>("TTestForm", &TComponent::StaticClass)
                                      .Integer("Left", &T::left_, &T::left_, 0)
                                      .String("Caption", &T::caption_, &T::caption_)
                                      .Persistent("Font", &T::font_)
                                      .Event("OnCreate", &T::OnCreate)
                                      .Method("FormCreate", &T::FormCreate)
                                      .Method("ButtonClick", &T::ButtonClick)
                                      .Method("TableFilter", &T::TableFilter)
                                      .Method("DatabaseConnecting", &T::DatabaseConnecting)
                                      .Method("Calculate", &T::Calculate);
    return info;
  }
  const ClassInfo& ClassType() const override { return StaticClass(); }

  void FormCreate(TObject* sender) { calls_.push_back(sender == this ? "FormCreate(self)" : "FormCreate"); }
  void ButtonClick(TObject*) { calls_.push_back("ButtonClick"); }
  void TableFilter(TTestTable* table, bool& accept) {
    accept = table->filter_.empty();
    calls_.push_back("TableFilter " + table->Name());
  }
  void DatabaseConnecting(TTestDatabase* database) { calls_.push_back("Connecting " + database->Name()); }
  int Calculate(int value) const { return value * 2; }

  void FinishLoading() override { gJournal.push_back("finish " + Name()); }

  Event<void(TObject* sender)> OnCreate;
  int64_t left_ = 0;
  std::string caption_;
  TTestFont font_;
  std::vector<std::string> calls_;
};

class FormStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const ClassInfo* info : {&TTestForm::StaticClass(), &TTestDatabase::StaticClass(), &TTestTable::StaticClass(),
                                  &TTestPanel::StaticClass(), &TTestButton::StaticClass()}) {
      RegisterClass(*info);
    }
    gJournal.clear();
  }

  template <class T>
  static T& Child(TComponent& root, const char* name) {
    TComponent* component = root.FindComponent(name);
    EXPECT_NE(component, nullptr) << name;
    T* typed = dynamic_cast<T*>(component);
    if (typed == nullptr) throw std::runtime_error(std::string("no component ") + name);
    return *typed;
  }

  // The reading error of a description, or "" when it reads.
  static std::string ReadError(const std::string& text) {
    TTestForm form(nullptr);
    try {
      ReadComponent(text, form);
    } catch (const EFilerError& error) {
      return error.Message();
    }
    return "";
  }
};

const char* const kJournalForm = R"(object fmain: TTestForm
  Left = 192
  Caption = 'Logon-Übersicht'
  Font.Name = 'Arial'
  Font.Size = 10
  Font.Style = [fsBold]
  OnCreate = FormCreate
  object Logon: TTestTable
    Database = Database
    MasterSource = fmain
    OpenOptions = [dbDenyWrite, dbFailOnError]
    ExportMethod = AllFields
    TableType = -1
    Rate = 2.5
    Filter = 'Name = ''O''''Brien'''#13#10'and x'
    SQL.Strings = (
      'select * from logon'
      'where x = :x')
    OnFilterRecord = TableFilter
    ComponentVersion = '1.0'
    Columns = <
      item
        Name = 'ID'
        DataType = ftInteger
      end>
    ParamData = <
      item
        DataType = ftString
        Name = 'x'
      end>
  end
  object Database: TTestDatabase
    Connected = True
    DatabaseType = 'ODBC'
    QueryTimeout = 0
    Signature = {0001FF}
    OnBeforeConnect = DatabaseConnecting
  end
  object Panel1: TTestPanel
    Caption = ' '
    object Button1: TTestButton
      OnClick = ButtonClick
    end
  end
end
)";

// What the writer makes of the form above: declaration order, defaults left out.
const char* const kJournalFormWritten = R"(object fmain: TTestForm
  Left = 192
  Caption = 'Logon-Übersicht'
  Font.Name = 'Arial'
  Font.Size = 10
  Font.Style = [fsBold]
  OnCreate = FormCreate
  object Logon: TTestTable
    Database = Database
    MasterSource = fmain
    SQL.Strings = (
      'select * from logon'
      'where x = :x')
    Filter = 'Name = ''O''''Brien'''#13#10'and x'
    TableType = -1
    Rate = 2.5
    OpenOptions = [dbDenyWrite, dbFailOnError]
    ExportMethod = AllFields
    Columns = <
      item
        Name = 'ID'
        DataType = ftInteger
      end>
    OnFilterRecord = TableFilter
    ParamData = <
      item
        Name = 'x'
        DataType = ftString
      end>
  end
  object Database: TTestDatabase
    Connected = True
    DatabaseType = 'ODBC'
    QueryTimeout = 0
    OnBeforeConnect = DatabaseConnecting
    Signature = {
      0001FF}
  end
  object Panel1: TTestPanel
    Caption = ' '
    object Button1: TTestButton
      OnClick = ButtonClick
    end
  end
end
)";

void ExpectJournalFormValues(TTestForm& form) {
  EXPECT_EQ(form.Name(), "fmain");
  EXPECT_EQ(form.left_, 192);
  EXPECT_EQ(form.caption_, "Logon-Übersicht");
  EXPECT_EQ(form.font_.name_, "Arial");
  EXPECT_EQ(form.font_.size_, 10);
  EXPECT_EQ(form.font_.style_, 1);
  ASSERT_EQ(form.ComponentCount(), 4);

  auto& logon = dynamic_cast<TTestTable&>(*form.Components(0));
  auto& database = dynamic_cast<TTestDatabase&>(*form.Components(1));
  auto& panel = dynamic_cast<TTestPanel&>(*form.Components(2));
  auto& button = dynamic_cast<TTestButton&>(*form.Components(3));
  EXPECT_EQ(logon.Name(), "Logon");
  EXPECT_EQ(logon.Database(), &database);
  EXPECT_EQ(logon.masterSource_, &form);
  EXPECT_EQ(logon.openOptions_, 129u);
  EXPECT_EQ(logon.exportMethod_, TExportMethod::AllFields);
  EXPECT_EQ(logon.tableType_, -1);
  EXPECT_DOUBLE_EQ(logon.rate_, 2.5);
  EXPECT_EQ(logon.filter_, "Name = 'O''Brien'\r\nand x");
  EXPECT_EQ(logon.SQL().Text(), "select * from logon\r\nwhere x = :x\r\n");
  ASSERT_EQ(logon.columns_.Count(), 1);
  EXPECT_EQ(logon.columns_.Items(0)->Name(), "ID");
  EXPECT_EQ(logon.columns_.Items(0)->DataType(), TFieldType::ftInteger);
  ASSERT_EQ(logon.params_.Count(), 1);
  EXPECT_EQ(logon.params_.Items(0)->Name(), "x");
  EXPECT_EQ(logon.params_.Items(0)->DataType(), TFieldType::ftString);

  EXPECT_TRUE(database.Connected());
  EXPECT_EQ(database.DatabaseType(), "ODBC");
  EXPECT_EQ(database.QueryTimeout(), 0);
  EXPECT_EQ(database.signature_, std::string("\x00\x01\xFF", 3));

  EXPECT_EQ(panel.caption_, " ");
  EXPECT_EQ(panel.GetParentComponent(), &form);
  EXPECT_EQ(button.Owner(), &form);
  EXPECT_EQ(button.GetParentComponent(), &panel);

  // events call the form's methods
  form.calls_.clear();
  form.OnCreate(&form);
  bool accept = true;
  logon.OnFilterRecord(&logon, accept);
  database.OnBeforeConnect(&database);
  button.OnClick(&button);
  EXPECT_FALSE(accept);
  EXPECT_EQ(form.calls_,
            (std::vector<std::string>{"FormCreate(self)", "TableFilter Logon", "Connecting Database", "ButtonClick"}));
}

TEST_F(FormStreamTest, ReadsEveryPropertyKind) {
  TTestForm form(nullptr);
  ReadComponent(kJournalForm, form);
  ExpectJournalFormValues(form);
}

TEST_F(FormStreamTest, WritesOnlyValuesThatDifferFromTheirDefaults) {
  TTestForm form(nullptr);
  ReadComponent(kJournalForm, form);
  EXPECT_EQ(WriteComponent(form), kJournalFormWritten);

  TTestForm blank(nullptr);
  blank.SetName("blank");
  new TTestDatabase(&blank);  // nothing changed, no name
  EXPECT_EQ(WriteComponent(blank), "object blank: TTestForm\n  object TTestDatabase\n  end\nend\n");
}

TEST_F(FormStreamTest, RoundTripGivesTheSameTreeAndValues) {
  TTestForm first(nullptr);
  ReadComponent(kJournalForm, first);
  std::string written = WriteComponent(first);

  std::unique_ptr<TComponent> second = ReadRootComponent(written);
  auto* form = dynamic_cast<TTestForm*>(second.get());
  ASSERT_NE(form, nullptr);
  ExpectJournalFormValues(*form);
  EXPECT_EQ(WriteComponent(*form), written);
}

TEST_F(FormStreamTest, ReferencesResolveAfterTheWholeDescription) {
  TTestForm form(nullptr);
  gJournal.clear();
  ReadComponent(kJournalForm, form);
  // Logon comes before Database, yet its reference is set before anyone finishes loading;
  // setters ran in the loading state, FinishLoading after it, in creation order.
  EXPECT_EQ(gJournal, (std::vector<std::string>{"DatabaseType set while loading", "finish fmain",
                                                "finish Logon with database Database", "finish Database"}));
  EXPECT_FALSE(form.HasState(ComponentStateFlag::kLoading));
  for (int i = 0; i < form.ComponentCount(); ++i) {
    EXPECT_EQ(form.Components(i)->ComponentState(), 0u) << form.Components(i)->Name();
  }
  // the resolved reference is a live one: destroying the database clears it
  delete form.FindComponent("Database");
  EXPECT_EQ(Child<TTestTable>(form, "Logon").Database(), nullptr);
}

TEST_F(FormStreamTest, BadDescriptionsNameTheLine) {
  struct Case {
    std::string text;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"object f: TTestForm\n  object X: TNoSuchClass\n  end\nend", "Line 2: Class TNoSuchClass not found"},
      {"object f: TTestForm\n  Left = 1\n  Colour = 3\nend", "Line 3: Property Colour does not exist"},
      {"object f: TTestForm\n  Font.Colour = 3\nend", "Line 2: Property Font.Colour does not exist"},
      {"object f: TTestForm\n  Caption.Strings = ('a')\nend", "Line 2: Property Caption.Strings does not exist"},
      {"object f: TTestForm\n  Left = 'abc'\nend", "Line 2: Invalid property value"},
      {"object f: TTestForm\n  Caption = 12\nend", "Line 2: Invalid property value"},
      {"object f: TTestForm\n  Font = 1\nend", "Line 2: Invalid property value"},
      {"object f: TTestForm\n  Font.Style = [fsBold, fsStrange]\nend", "Line 2: Invalid property value"},
      {"object f: TTestForm\n  object D: TTestDatabase\n    Connected = 1\n  end\nend",
       "Line 3: Invalid property value"},
      {"object f: TTestForm\n  object D: TTestDatabase\n    Connected = Yes\n  end\nend",
       "Line 3: Invalid property value"},
      {"object f: TTestForm\n  object D: TTestDatabase\n    QueryTimeout = 3000000000\n  end\nend",
       "Line 3: Invalid property value"},
      {"object f: TTestForm\n  object T: TTestTable\n    ExportMethod = SomeFields\n  end\nend",
       "Line 3: Invalid property value"},
      {"object f: TTestForm\n  object T: TTestTable\n    SQL.Strings = (\n      'a'\n      12)\n  end\nend",
       "Line 5: Invalid property value"},
      {"object f: TTestForm\n  object T: TTestTable\n    ParamData = <\n      item\n        DataType = ftNothing\n"
       "      end>\n  end\nend",
       "Line 5: Invalid property value"},
      {"object f: TTestForm\n  object T: TTestTable\n    ParamData = 'x'\n  end\nend",
       "Line 3: Invalid property value"},
      {"object f: TTestForm\n  object D: TTestDatabase\n    Signature = 'x'\n  end\nend",
       "Line 3: Invalid property value"},
      {"object f: TTestForm\n  object D: TTestDatabase\n    Connected = True\nend", "Line 1: Unterminated object"},
      {"object f: TTestForm\n  Left = 1\n  object D: TTestDatabase\n", "Line 3: Unterminated object"},
      {"object f: TTestForm\n  Caption = 'abc\nend", "Line 2: Unterminated string"},
      {"object f: TTestForm\n  Caption 'abc'\nend", "Line 2: '=' expected"},
      {"object f: TTestForm\n  object D: TTestDatabase\n  end\n  Left = 1\nend", "Line 4: 'object' or 'end' expected"},
      {"object f: TTestForm\nend\nend", "Line 3: End of text expected"},
      {"object f: TTestForm\n  OnCreate = Nothing\nend", "Line 2: Method Nothing not found"},
      {"object f: TTestForm\n  OnCreate = Calculate\nend",
       "Line 2: Method Calculate does not match the event OnCreate"},
      {"object f: TTestForm\n  OnCreate = TableFilter\nend",
       "Line 2: Method TableFilter does not match the event OnCreate"},
      {"object f: TTestForm\n  object T: TTestTable\n    Database = Nowhere\n  end\nend",
       "Line 3: Component Nowhere not found"},
      {"object f: TTestForm\n  object P: TTestPanel\n  end\n  object T: TTestTable\n    Database = P\n  end\nend",
       "Line 5: Invalid property value"},
      {"object f: TTestForm\n  object D: TTestDatabase\n    QueryTimeout = -5\n  end\nend",
       "Line 3: Error reading D.QueryTimeout: QueryTimeout must not be negative"},
      {"object f: TTestForm\n  object X: TTestPanel\n  end\n  object x: TTestPanel\n  end\nend",
       "Line 4: A component named x already exists"},
      {"object f: TOtherForm\nend", "Line 1: Class TOtherForm does not match the root class TTestForm"},
      {"object f: TTestForm\n  Left = 1 ?\nend", "Line 2: Invalid character '?'"},
      {"\n\n  Left = 1", "Line 3: 'object' expected"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadError(c.text), c.message) << c.text;
  }
}

TEST_F(FormStreamTest, AFailedReadLeavesNoHalfBuiltComponents) {
  TTestForm form(nullptr);
  auto* existing = new TTestDatabase(&form);
  existing->SetName("Database");
  gJournal.clear();
  const char* text =
      "object f: TTestForm\n"
      "  object Database: TTestDatabase\n"
      "    DatabaseType = 'ODBC'\n"
      "  end\n"
      "  object Logon: TTestTable\n"
      "  end\n"
      "  object Broken: TTestTable\n"
      "    TableType = 'x'\n"
      "  end\n"
      "end\n";
  EXPECT_THROW(ReadComponent(text, form), EFilerError);
  ASSERT_EQ(form.ComponentCount(), 1);  // the one it owned before stays, the new ones are gone
  EXPECT_EQ(form.Components(0), existing);
  EXPECT_EQ(existing->DatabaseType(), "ODBC");  // it was read into, not replaced
  EXPECT_EQ(form.ComponentState(), 0u);
  EXPECT_EQ(existing->ComponentState(), 0u);
  EXPECT_EQ(gJournal, (std::vector<std::string>{"DatabaseType set while loading"}));  // no FinishLoading
}

TEST_F(FormStreamTest, ReadRootComponentCreatesTheRootByClassName) {
  std::unique_ptr<TComponent> root = ReadRootComponent("object Other: TTestForm\n  Left = -3\nend\n");
  ASSERT_NE(dynamic_cast<TTestForm*>(root.get()), nullptr);
  EXPECT_EQ(root->Name(), "Other");
  EXPECT_EQ(dynamic_cast<TTestForm&>(*root).left_, -3);
  EXPECT_EQ(root->Owner(), nullptr);
  try {
    ReadRootComponent("\nobject x: TUnknownForm\nend\n");
    FAIL();
  } catch (const EFilerError& error) {
    EXPECT_EQ(error.Message(), "Line 2: Class TUnknownForm not found");
  }
}

TEST_F(FormStreamTest, StringsSurviveTheRoundTripWhateverTheyHold) {
  std::string longText;
  for (int i = 0; i < 40; ++i) longText += "Übersicht 'quoted' ";
  const std::vector<std::string> samples = {"",          "'",    "''",      "a\r\nb", std::string("nul\0inside", 10),
                                            "tab\there", "\x7F", "€ and ä", longText, std::string(200, 'x') + "\n"};
  for (const std::string& sample : samples) {
    TTestForm form(nullptr);
    form.SetName("f");
    form.caption_ = sample;
    auto* table = new TTestTable(&form);
    TStringList lines;
    lines.Add(sample);
    lines.Add(longText);
    table->SetSQL(lines);
    std::string written = WriteComponent(form);
    TTestForm back(nullptr);
    ReadComponent(written, back);
    EXPECT_EQ(back.caption_, sample) << written;
    ASSERT_EQ(back.ComponentCount(), 1);
    EXPECT_TRUE(dynamic_cast<TTestTable&>(*back.Components(0)).SQL().Equals(lines)) << written;
    // long texts are continued over several lines of moderate length
    for (const std::string& line : Split(written, '\n')) EXPECT_LT(line.size(), 100u);
  }
}

TEST_F(FormStreamTest, UnnamedComponentsAndUnnamedReferences) {
  TTestForm form(nullptr);
  form.SetName("f");
  auto* database = new TTestDatabase(&form);
  auto* table = new TTestTable(&form);
  table->SetName("T");
  table->SetDatabase(database);  // a reference to a component without a name cannot be written
  std::string written = WriteComponent(form);
  EXPECT_EQ(written, "object f: TTestForm\n  object TTestDatabase\n  end\n  object T: TTestTable\n  end\nend\n");
  TTestForm back(nullptr);
  ReadComponent(written, back);
  ASSERT_EQ(back.ComponentCount(), 2);
  EXPECT_EQ(back.Components(0)->Name(), "");
  EXPECT_EQ(back.Components(0)->ClassName(), "TTestDatabase");
}

TEST_F(FormStreamTest, HandlersSetByCodeAreNotWritten) {
  TTestForm form(nullptr);
  form.SetName("f");
  form.OnCreate = [](TObject*) {};
  EXPECT_EQ(WriteComponent(form), "object f: TTestForm\nend\n");
}

TEST_F(FormStreamTest, TextFormValues) {
  FormObject root = ParseFormText(
      "\r\n"
      "object TTestForm\r\n"
      "  A = #196'x'#$41\r\n"
      "  B = 'one' +\r\n"
      "      'two'\r\n"
      "  C = $1F\r\n"
      "  D = -$10\r\n"
      "  E = -7\r\n"
      "  F = 1.5e3\r\n"
      "  G = -0.25\r\n"
      "  H = ()\r\n"
      "  I = []\r\n"
      "  J = <>\r\n"
      "  K = {}\r\n"
      "  L = ('x' 1 Ident (2))\r\n"
      "  Font.Name = Ident\r\n"
      "end\r\n");
  EXPECT_EQ(root.name, "");
  EXPECT_EQ(root.className, "TTestForm");
  EXPECT_EQ(root.line, 2);
  const auto& p = root.properties;
  ASSERT_EQ(p.size(), 13u);
  EXPECT_EQ(p[0].value.text, "ÄxA");
  EXPECT_EQ(p[1].value.text, "onetwo");
  EXPECT_EQ(p[2].value.integer, 31);
  EXPECT_EQ(p[3].value.integer, -16);
  EXPECT_EQ(p[4].value.integer, -7);
  EXPECT_EQ(p[5].value.kind, FormValueKind::kFloat);
  EXPECT_DOUBLE_EQ(p[5].value.number, 1500);
  EXPECT_DOUBLE_EQ(p[6].value.number, -0.25);
  EXPECT_EQ(p[7].value.kind, FormValueKind::kList);
  EXPECT_TRUE(p[7].value.list.empty());
  EXPECT_EQ(p[8].value.kind, FormValueKind::kSet);
  EXPECT_EQ(p[9].value.kind, FormValueKind::kCollection);
  EXPECT_EQ(p[10].value.kind, FormValueKind::kBinary);
  ASSERT_EQ(p[11].value.list.size(), 4u);
  EXPECT_EQ(p[11].value.list[2].kind, FormValueKind::kIdentifier);
  EXPECT_EQ(p[11].value.list[3].list[0].integer, 2);
  EXPECT_EQ(p[12].name, "Font.Name");
  EXPECT_EQ(p[12].line, 16);  // CR LF counts as one line break

  // floats stay floats when written, and come back exactly
  FormObject object;
  object.className = "TThing";
  for (double number : {2.0, 0.1, -1e300, 1.0 / 3.0}) {
    FormProperty property;
    property.name = "X";
    property.value = FormValue::Float(number);
    object.properties.push_back(property);
  }
  FormObject back = ParseFormText(FormatFormText(object));
  ASSERT_EQ(back.properties.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(back.properties[i].value.kind, FormValueKind::kFloat);
    EXPECT_EQ(back.properties[i].value.number, object.properties[i].value.number);
  }
}

}  // namespace
}  // namespace lumo
