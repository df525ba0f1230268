#include "runtime/Component.h"

#include "runtime/ClassInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <string>
#include <vector>

namespace lumo {
namespace {

// A component that records what happens to it in a shared journal.
class TProbe : public TComponent {
 public:
  TProbe(TComponent* owner, std::string label, std::vector<std::string>* journal)
      : TComponent(owner), label_(std::move(label)), journal_(journal) {}
  ~TProbe() override {
    // Record whether the owner still lists this component while it goes.
    bool listed = Owner() != nullptr;
    journal_->push_back("destroy " + label_ + (listed ? " (still owned)" : ""));
  }

  void NotifyComponentChange(TComponent* component, Operation operation) override {
    std::string what = component == referenced_ ? "referenced" : "other";
    journal_->push_back(label_ + (operation == Operation::kInsert ? " insert " : " remove ") + what);
    if (operation == Operation::kRemove && component == referenced_) referenced_ = nullptr;
  }

  void Reference(TComponent* component) {
    referenced_ = component;
    if (component != nullptr) component->FreeNotification(this);
  }
  TComponent* Referenced() const { return referenced_; }

 private:
  std::string label_;
  std::vector<std::string>* journal_;
  TComponent* referenced_ = nullptr;
};

TEST(ComponentTest, OwnerDestroysItsComponentsLastFirst) {
  std::vector<std::string> journal;
  auto* owner = new TProbe(nullptr, "owner", &journal);
  new TProbe(owner, "first", &journal);
  new TProbe(owner, "second", &journal);
  journal.clear();
  delete owner;
  EXPECT_EQ(journal, (std::vector<std::string>{"destroy owner", "destroy second", "destroy first"}));
}

TEST(ComponentTest, ComponentLeavesItsOwnerWhenDestroyed) {
  std::vector<std::string> journal;
  TProbe owner(nullptr, "owner", &journal);
  auto* child = new TProbe(&owner, "child", &journal);
  auto* other = new TProbe(&owner, "other", &journal);
  EXPECT_EQ(journal, (std::vector<std::string>{"owner insert other", "owner insert other"}));
  journal.clear();
  delete child;
  EXPECT_EQ(owner.ComponentCount(), 1);
  EXPECT_EQ(owner.Components(0), other);
  // the owner hears of it; the child was still listed while its own destructor ran
  EXPECT_EQ(journal, (std::vector<std::string>{"destroy child (still owned)", "owner remove other"}));
  EXPECT_THROW(owner.Components(1), EComponentError);
}

TEST(ComponentTest, NamesAreIdentifiersUniqueWithinTheOwner) {
  TComponent form(nullptr);
  auto* database = new TComponent(&form);
  database->SetName("Database");
  auto* table = new TComponent(&form);
  EXPECT_THROW(table->SetName("DATABASE"), EComponentError);
  EXPECT_THROW(table->SetName("1st"), EComponentError);
  EXPECT_THROW(table->SetName("with blank"), EComponentError);
  EXPECT_EQ(table->Name(), "");
  table->SetName("Logon");
  database->SetName("DataBase");  // a new spelling of its own name is fine
  EXPECT_EQ(form.FindComponent("database"), database);
  EXPECT_EQ(form.FindComponent("LOGON"), table);
  EXPECT_EQ(form.FindComponent(""), nullptr);
  EXPECT_EQ(form.FindComponent("query"), nullptr);

  TComponent otherForm(nullptr);
  TComponent stranger(nullptr);
  stranger.SetName("Logon");  // no owner, no clash
  auto* sameName = new TComponent(&otherForm);
  sameName->SetName("Logon");  // another owner, no clash
  EXPECT_THROW(form.InsertComponent(sameName), EComponentError);
  EXPECT_EQ(sameName->Owner(), &otherForm);
}

TEST(ComponentTest, InsertAndRemoveMoveOwnership) {
  std::vector<std::string> journal;
  TProbe first(nullptr, "first", &journal);
  TProbe second(nullptr, "second", &journal);
  auto* child = new TComponent(&first);
  second.InsertComponent(child);
  EXPECT_EQ(child->Owner(), &second);
  EXPECT_EQ(first.ComponentCount(), 0);
  EXPECT_EQ(second.ComponentCount(), 1);
  second.RemoveComponent(child);
  EXPECT_EQ(child->Owner(), nullptr);
  EXPECT_EQ(second.ComponentCount(), 0);
  delete child;
  EXPECT_EQ(journal, (std::vector<std::string>{"first insert other", "first remove other", "second insert other",
                                               "second remove other"}));
}

TEST(ComponentTest, FreeNotificationTellsHoldersOfAReference) {
  std::vector<std::string> journal;
  TComponent form(nullptr);
  auto* database = new TProbe(&form, "database", &journal);
  auto* table = new TProbe(&form, "table", &journal);
  auto* query = new TProbe(&form, "query", &journal);
  table->Reference(database);
  query->Reference(database);
  query->Reference(database);  // asking twice still means one notification
  journal.clear();

  delete database;
  EXPECT_EQ(table->Referenced(), nullptr);
  EXPECT_EQ(query->Referenced(), nullptr);
  EXPECT_EQ(std::count(journal.begin(), journal.end(), "table remove referenced"), 1);
  EXPECT_EQ(std::count(journal.begin(), journal.end(), "query remove referenced"), 1);

  // the link is mutual: the referenced side hears when the holder goes
  auto* other = new TProbe(&form, "other", &journal);
  table->Reference(other);
  journal.clear();
  delete table;
  EXPECT_EQ(journal, (std::vector<std::string>{"destroy table (still owned)", "other remove other"}));

  // after RemoveFreeNotification nothing is said
  auto* encrypter = new TProbe(&form, "encrypter", &journal);
  query->Reference(encrypter);
  encrypter->RemoveFreeNotification(query);
  journal.clear();
  delete encrypter;
  EXPECT_EQ(journal, (std::vector<std::string>{"destroy encrypter (still owned)"}));
  EXPECT_EQ(query->Referenced(), encrypter);  // it was not told, so it still holds the pointer
}

TEST(ComponentTest, NotificationsAcrossOwnersDuringOwnerDestruction) {
  std::vector<std::string> journal;
  TProbe holder(nullptr, "holder", &journal);
  {
    TComponent form(nullptr);
    auto* database = new TProbe(&form, "database", &journal);
    holder.Reference(database);
  }
  EXPECT_EQ(holder.Referenced(), nullptr);
}

TEST(ComponentTest, StateFlags) {
  TComponent form(nullptr);
  auto* child = new TComponent(&form);
  form.SetStateFlag(ComponentStateFlag::kDesigning, true);
  EXPECT_TRUE(child->HasState(ComponentStateFlag::kDesigning));
  auto* late = new TComponent(&form);
  EXPECT_TRUE(late->HasState(ComponentStateFlag::kDesigning));  // joins a designed owner
  form.SetStateFlag(ComponentStateFlag::kLoading, true);
  EXPECT_TRUE(form.HasState(ComponentStateFlag::kLoading));
  EXPECT_FALSE(child->HasState(ComponentStateFlag::kLoading));  // loading is per component
  form.SetStateFlag(ComponentStateFlag::kDestroying, true);
  EXPECT_FALSE(form.HasState(ComponentStateFlag::kDestroying));
}

// A form whose owned components call back into it while they are destroyed.
class TCallbackForm : public TComponent {
 public:
  explicit TCallbackForm(std::vector<std::string>* journal) : TComponent(nullptr), journal_(journal) {}
  ~TCallbackForm() override { DestroyComponents(); }
  void Closing(const std::string& who) { journal_->push_back(prefix_ + who); }

 private:
  std::vector<std::string>* journal_;
  std::string prefix_ = "form heard ";
};

class TCallingChild : public TComponent {
 public:
  explicit TCallingChild(TCallbackForm* form) : TComponent(form), form_(form) {}
  ~TCallingChild() override {
    form_->Closing(HasState(ComponentStateFlag::kDestroying) ? "destroying child" : "child");
  }

 private:
  TCallbackForm* form_;
};

TEST(ComponentTest, DestroyComponentsLetsChildrenReachTheLivingForm) {
  std::vector<std::string> journal;
  {
    TCallbackForm form(&journal);
    new TCallingChild(&form);
  }
  EXPECT_EQ(journal, (std::vector<std::string>{"form heard child"}));
}

// --- class tables -------------------------------------------------------------------------

enum class TExportMethod { VisibleFields, AllFields };

class TTableLike : public TComponent {
 public:
  explicit TTableLike(TComponent* owner) : TComponent(owner) {}
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override { return StaticClass(); }

  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }
  int32_t TableType() const { return tableType_; }
  void SetTableType(int32_t value) { tableType_ = value; }
  TExportMethod ExportMethod() const { return exportMethod_; }
  void SetExportMethod(TExportMethod value) { exportMethod_ = value; }
  std::bitset<12> OpenOptions() const { return openOptions_; }
  void SetOpenOptions(std::bitset<12> value) { openOptions_ = value; }

  std::string encoded_;

 private:
  bool readOnly_ = false;
  int32_t tableType_ = 2;
  TExportMethod exportMethod_ = TExportMethod::VisibleFields;
  std::bitset<12> openOptions_;
};

const ClassInfo& TTableLike::StaticClass() {
  using T = TTableLike;
  static const ClassInfo info =
      ClassBuilder<T>("TTableLike", &TComponent::StaticClass)
          .Boolean("ReadOnly", &T::ReadOnly, &T::SetReadOnly, false)
          .Integer("TableType", &T::TableType, &T::SetTableType, 2)
          .Enumeration("ExportMethod", &T::ExportMethod, &T::SetExportMethod, {"VisibleFields", "AllFields"},
                       TExportMethod::VisibleFields)
          .Set("OpenOptions", &T::OpenOptions, &T::SetOpenOptions,
               {"dbDenyWrite", "dbDenyRead", "dbReadOnly", "dbAppendOnly", "dbInconsistent", "dbConsistent",
                "dbSQLPassThrough", "dbFailOnError", "dbForwardOnly", "dbSeeChanges", "dbRunAsync", "dbExecDirect"})
          .String("EncodedString", &T::encoded_, &T::encoded_);
  return info;
}

// Redeclares an inherited property with another default and adds one of its own.
class TDerivedTable : public TTableLike {
 public:
  explicit TDerivedTable(TComponent* owner) : TTableLike(owner) {}
  static const ClassInfo& StaticClass() {
    using T = TDerivedTable;
    static const ClassInfo info = ClassBuilder<T>("TDerivedTable", &TTableLike::StaticClass)
                                      .Integer("TableType", &T::TableType, &T::SetTableType, 4)
                                      .Float("Ratio", &T::ratio_, &T::ratio_, 0.5);
    return info;
  }
  const ClassInfo& ClassType() const override { return StaticClass(); }
  double ratio_ = 0.5;
};

std::vector<std::string> PropertyNames(const ClassInfo& info) {
  std::vector<std::string> names;
  for (const PropInfo& property : info.Properties()) names.push_back(property.name);
  return names;
}

TEST(ComponentTest, ClassTablesListInheritedPropertiesFirst) {
  const ClassInfo& info = TDerivedTable::StaticClass();
  EXPECT_EQ(PropertyNames(info), (std::vector<std::string>{"Name", "Tag", "ReadOnly", "TableType", "ExportMethod",
                                                           "OpenOptions", "EncodedString", "Ratio"}));
  EXPECT_EQ(info.FindProperty("tabletype")->defaultOrdinal, 4);  // replaced in place
  EXPECT_EQ(TTableLike::StaticClass().FindProperty("TableType")->defaultOrdinal, 2);
  EXPECT_EQ(info.FindProperty("Missing"), nullptr);
  EXPECT_FALSE(info.FindProperty("Name")->stored);
  EXPECT_EQ(info.FindProperty("TableType")->maximum, INT32_MAX);  // from the setter's type
  EXPECT_TRUE(info.InheritsFrom(TComponent::StaticClass()));
  EXPECT_FALSE(TComponent::StaticClass().InheritsFrom(info));
  EXPECT_TRUE(info.CanCreate());
  EXPECT_FALSE(TObject::StaticClass().CanCreate());

  TComponent owner(nullptr);
  TComponent* created = info.CreateInstance(&owner);
  EXPECT_EQ(created->ClassName(), "TDerivedTable");
  EXPECT_EQ(created->Owner(), &owner);
  EXPECT_TRUE(created->InheritsFrom(TTableLike::StaticClass()));
}

TEST(ComponentTest, RegistryFindsClassesByNameIgnoringCase) {
  RegisterClass(TTableLike::StaticClass());
  RegisterClass(TTableLike::StaticClass());  // again: no effect
  EXPECT_EQ(FindClass("ttablelike"), &TTableLike::StaticClass());
  EXPECT_EQ(FindClass("TNothing"), nullptr);
  static const ClassInfo impostor = ClassBuilder<TComponent>("TTableLike", &TObject::StaticClass);
  EXPECT_THROW(RegisterClass(impostor), EComponentError);
  EXPECT_EQ(FindClass("TTableLike"), &TTableLike::StaticClass());
}

TEST(ComponentTest, PropertiesReachableByNameAtRunTime) {
  TTableLike table(nullptr);
  // the way a plug-in's string properties are found and used without knowing its class
  const PropInfo* encoded = GetPropInfo(table, "encodedstring");
  ASSERT_NE(encoded, nullptr);
  SetStrProp(table, *encoded, "secret");
  EXPECT_EQ(table.encoded_, "secret");
  EXPECT_EQ(GetStrProp(table, "EncodedString"), "secret");
  EXPECT_EQ(GetPropInfo(table, "DecodedString"), nullptr);

  SetOrdProp(table, "ReadOnly", 1);
  EXPECT_TRUE(table.ReadOnly());
  SetOrdProp(table, "ExportMethod", 1);
  EXPECT_EQ(table.ExportMethod(), TExportMethod::AllFields);
  SetOrdProp(table, "OpenOptions", 129);
  EXPECT_TRUE(table.OpenOptions()[0] && table.OpenOptions()[7]);
  EXPECT_EQ(GetOrdProp(table, "OpenOptions"), 129);
  SetStrProp(table, "Name", "Logon");
  EXPECT_EQ(table.Name(), "Logon");

  EXPECT_THROW(GetStrProp(table, "ReadOnly"), EPropertyError);
  EXPECT_THROW(SetStrProp(table, "Missing", "x"), EPropertyError);
  EXPECT_THROW(GetFloatProp(table, "TableType"), EPropertyError);
  try {
    GetOrdProp(table, "Missing");
    FAIL();
  } catch (const EPropertyError& error) {
    EXPECT_EQ(error.Message(), "Property Missing does not exist");
  }
}

TEST(ComponentTest, EventsCallTheirHandlerAndRememberItsName) {
  Event<void(int)> onChange;
  onChange(1);  // nothing bound: nothing happens
  EXPECT_FALSE(onChange);
  int seen = 0;
  onChange.Bind("FormChange", [&](int value) { seen = value; });
  onChange(7);
  EXPECT_EQ(seen, 7);
  EXPECT_EQ(onChange.HandlerName(), "FormChange");
  onChange = [&](int value) { seen = -value; };  // set by code: no name to write back
  onChange(3);
  EXPECT_EQ(seen, -3);
  EXPECT_EQ(onChange.HandlerName(), "");
  onChange.Clear();
  EXPECT_FALSE(onChange);

  Event<int(int)> onCompute;
  EXPECT_THROW(onCompute(1), std::bad_function_call);
}

}  // namespace
}  // namespace lumo
