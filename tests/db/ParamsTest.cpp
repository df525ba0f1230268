// Parameters: finding them in SQL texts, values, assignment and streaming.

#include "db/Params.h"

#include "runtime/ClassInfo.h"
#include "runtime/FormReader.h"
#include "runtime/FormWriter.h"

#include <gtest/gtest.h>

namespace lumo {
namespace {

TEST(ParamsTest, ParseSqlFindsOneParameterPerDistinctName) {
  struct Case {
    const char* sql;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"select * from t where a = :A and b = :b and c = :a", {"A", "b"}},
      {"update logon set logofftime = #12/8/2026 10:5:7# where id = 5", {}},
      {"select '10:20:30', \"x:y\", [odd:name] from t where t = :when", {"when"}},
      {"select * from t where x = 'it''s :quoted' and y = :y", {"y"}},
      {"select 10:20:30 as clock, a::b from t", {}},
      {"select * from t where name=:Näme or z=(:z)", {"Näme", "z"}},
      {"select * from t where x = 'open :quote", {}},
      {"select * from t where x = : and y = :_1", {"_1"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TParams::ParameterNames(c.sql), c.names) << c.sql;
  }
}

TEST(ParamsTest, ParseSqlKeepsValuesOfParametersStillNamed) {
  TParams params;
  params.ParseSQL("select * from t where a = :a and b = :b", true);
  params.ParamByName("A").SetAsInteger(7);
  params.ParseSQL("select * from t where b = :b and a = :A", true);
  ASSERT_EQ(params.Count(), 2);
  EXPECT_EQ(params[1].Name(), "A");
  EXPECT_EQ(params[1].AsInteger(), 7);
  EXPECT_TRUE(params[0].IsNull());
  try {
    params.ParamByName("c");
    FAIL();
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "Parameter 'c' not found");
  }
}

TEST(ParamsTest, AssignValuesCopiesOnlyParametersOfTheSameName) {
  TParams target;
  target.CreateParam(ftUnknown, "Name", TParamType::ptInput);
  target.CreateParam(ftInteger, "Keep", TParamType::ptInput).SetAsInteger(1);
  TParams source;
  source.CreateParam(ftString, "NAME", TParamType::ptInput).SetAsString("x");
  source.CreateParam(ftInteger, "Other", TParamType::ptInput).SetAsInteger(2);
  target.AssignValues(source);
  EXPECT_EQ(target[0].Name(), "Name");
  EXPECT_EQ(target[0].AsString(), "x");
  EXPECT_EQ(target[0].DataType(), ftString);
  EXPECT_EQ(target[1].AsInteger(), 1);
}

// A component that streams its parameters under "ParamData".
class TParamHolder : public TComponent {
 public:
  using TComponent::TComponent;
  static const ClassInfo& StaticClass() {
    static const ClassInfo info = ClassBuilder<TParamHolder>("TParamHolder", &TComponent::StaticClass);
    return info;
  }
  const ClassInfo& ClassType() const override { return StaticClass(); }
  void DeclareStreamedData(StreamedData& data) override { data.DefineCollection("ParamData", params_); }
  TParams params_;
};

TEST(ParamsTest, ParametersSurviveAFormDescription) {
  RegisterClass(TParamHolder::StaticClass());
  TParamHolder holder(nullptr);
  holder.SetName("Query");
  holder.params_.CreateParam(ftInteger, "id", TParamType::ptInput).SetAsInteger(42);
  holder.params_.CreateParam(ftFloat, "ratio", TParamType::ptInput).SetAsFloat(1.5);
  holder.params_.CreateParam(ftString, "name", TParamType::ptInput);
  std::string text = WriteComponent(holder);
  EXPECT_NE(text.find("ParamData"), std::string::npos) << text;
  TParamHolder copy(nullptr);
  ReadComponent(text, copy);
  ASSERT_EQ(copy.params_.Count(), 3) << text;
  EXPECT_TRUE(copy.params_.IsEqual(holder.params_)) << text;
  EXPECT_EQ(copy.params_[1].Value(), Variant(1.5));
  EXPECT_TRUE(copy.params_[2].IsNull());
}

}  // namespace
}  // namespace lumo
