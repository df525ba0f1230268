// Currency is exact with four decimals whichever way an amount arrives: SQL literals and
// parameters, arithmetic, aggregates, comparison, rows copied from other tables; and the
// stock shell reads the amounts as written.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jet/Field.h"
#include "jet/Parameter.h"
#include "jet/QueryDef.h"
#include "tests/jet/RecordsetTestSupport.h"

namespace lumo::jet::testing {
namespace {

Variant Money(int64_t scaled) { return Variant::FromCurrency(Currency::FromScaled(scaled)); }

class CurrencyTest : public RecordsetTestBase {
 protected:
  void SetUp() override {
    RecordsetTestBase::SetUp();
    Execute("CREATE TABLE Ledger (ID COUNTER PRIMARY KEY, Label TEXT(20), Amount CURRENCY, Rate DOUBLE)");
  }

  // The first field of the first row of a query.
  Variant Scalar(const std::string& sql) {
    auto recordset = Open(sql, dbOpenSnapshot);
    return recordset->Fields().Item(0)->Value();
  }
  int Count(const std::string& where) { return Scalar("SELECT Count(*) FROM Ledger WHERE " + where).AsInteger(); }
};

TEST_F(CurrencyTest, StoredAmountsAreRoundedToFourDecimals) {
  Execute("INSERT INTO Ledger (Label, Amount) VALUES ('literal', 1.23456)");
  Execute("INSERT INTO Ledger (Label, Amount) VALUES ('sum', 0.1 + 0.2)");
  Execute("INSERT INTO Ledger (Label, Amount) VALUES ('text', '2.71828')");
  Execute("INSERT INTO Ledger VALUES (10, 'all columns', 5.55555, 0.5)");
  Execute("INSERT INTO Ledger (Label, Amount, Rate) VALUES ('double', 0.3, 0.1 + 0.2)");
  auto recordset = Open("SELECT Label, Amount FROM Ledger ORDER BY ID");
  std::vector<Variant> amounts;
  for (; !recordset->IsEOF(); recordset->MoveNext()) amounts.push_back(Value(*recordset, "Amount"));
  EXPECT_EQ(amounts, (std::vector<Variant>{Money(12346), Money(3000), Money(27183), Money(55556), Money(3000)}));
  // The stock shell sees the amounts as they read, and the Double column as it was computed.
  EXPECT_EQ(StockShell(path_, "SELECT Amount FROM Ledger ORDER BY ID"), "1.2346\n0.3\n2.7183\n5.5556\n0.3\n");
  EXPECT_EQ(StockShell(path_, "SELECT Rate = 0.3 FROM Ledger WHERE Label = 'double'"), "0\n");
  EXPECT_EQ(StockShell(path_, "SELECT count(*) FROM Ledger WHERE Amount = 0.3"), "2\n");
  // The criteria find the rounded amounts.
  EXPECT_EQ(Count("Amount = 0.3"), 2);
  EXPECT_EQ(Count("Amount = 1.2346"), 1);
  EXPECT_EQ(Count("Amount = 1.23456"), 0);
}

TEST_F(CurrencyTest, UpdatesAddWithoutDrift) {
  Execute("INSERT INTO Ledger (Label, Amount) VALUES ('a', 0)");
  for (int i = 0; i < 10; ++i) Execute("UPDATE Ledger SET Amount = Amount + 0.1");
  EXPECT_EQ(Scalar("SELECT Amount FROM Ledger"), Money(10000));
  EXPECT_EQ(Count("Amount = 1"), 1);
  for (int i = 0; i < 7; ++i) Execute("UPDATE Ledger SET Amount = Amount * 1.1");
  // 1.1 ^ 7 rounded to four decimals at every step, as Currency arithmetic does.
  EXPECT_EQ(Scalar("SELECT Amount FROM Ledger"), Money(19488));
  Execute("UPDATE Ledger SET Amount = Amount - 0.0488, Rate = Amount / 3");
  EXPECT_EQ(Scalar("SELECT Amount FROM Ledger"), Money(19000));
  EXPECT_EQ(StockShell(path_, "SELECT Amount FROM Ledger"), "1.9\n");
}

TEST_F(CurrencyTest, ArithmeticAggregatesAndComparisonsAreExact) {
  for (const char* amount : {"0.1", "0.2", "0.7"}) {
    Execute(std::string("INSERT INTO Ledger (Label, Amount) VALUES ('x', ") + amount + ")");
  }
  struct Case {
    const char* expression;
    Variant value;
  };
  const std::vector<Case> cases = {
      {"Sum(Amount)", Money(10000)},
      {"Sum(Amount) = 1", Variant(true)},
      {"Avg(Amount)", Variant(1.0 / 3.0)},
      {"Min(Amount) + Max(Amount)", Money(8000)},
      {"Max(Amount) * 3", Money(21000)},
      {"CCur(0.1) + CCur(0.2) = CCur(0.3)", Variant(true)},
      {"CCur(0.1) + CCur(0.2)", Money(3000)},
      {"CCur(123456789.1234) + CCur(0.0001)", Money(1234567891235)},
      // Halves round to even (1/32 and 3/32 have exact halves in the fifth decimal).
      {"CCur(0.03125)", Money(312)},
      {"CCur(0.09375)", Money(938)},
      {"CCur(2.5) * CCur(2.5)", Money(62500)},
      // A Double takes part with all its digits; only the product is rounded.
      {"CCur(1000) * 1.23456789", Money(12345679)},
      {"CCur(1000) + 0.00004999", Money(10000000)},
      // Amounts far beyond the digits of a Double's fraction stay exact.
      {"CCur(123456789012.3456) - CCur(0.0001)", Money(1234567890123455)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expression);
    EXPECT_EQ(Scalar(std::string("SELECT ") + c.expression + " AS x FROM Ledger"), c.value);
  }
  EXPECT_EQ(Scalar("SELECT Count(*) FROM Ledger HAVING Sum(Amount) = 1"), Variant(3));
  EXPECT_EQ(Count("Amount + 0.2 = 0.3"), 1);
  EXPECT_EQ(Count("Amount * 3 = 0.3"), 1);
  EXPECT_EQ(Count("Amount BETWEEN 0.2 AND 0.7"), 2);
  // Beyond the Currency range: overflow.
  EXPECT_EQ(DaoNumberOf([&] { Scalar("SELECT CCur(922337203685477) + 1 AS x FROM Ledger"); }), 6);
}

TEST_F(CurrencyTest, FindAndFilterMeetComputedAmounts) {
  Execute("INSERT INTO Ledger (Label, Amount) VALUES ('a', 0.1 + 0.2)");
  Execute("INSERT INTO Ledger (Label, Amount) VALUES ('b', 0.3 * 3)");
  auto recordset = Open("Ledger", dbOpenDynaset);
  recordset->FindFirst("Amount = 0.9");
  ASSERT_FALSE(recordset->NoMatch());
  EXPECT_EQ(Value(*recordset, "Label"), Variant("b"));
  recordset->FindFirst("Amount = CCur(0.1) + CCur(0.2)");
  ASSERT_FALSE(recordset->NoMatch());
  EXPECT_EQ(Value(*recordset, "Label"), Variant("a"));
  recordset->SetFilter("Amount + Amount = 0.6");
  auto filtered = recordset->OpenRecordset();
  EXPECT_EQ(ReadOn(*filtered, "Label"), std::vector<std::string>{"a"});
}

TEST_F(CurrencyTest, RowsCopiedAndParametersTakeTheStoredForm) {
  Execute("CREATE TABLE Rates (Label TEXT(20), Amount DOUBLE, Rate DOUBLE)");
  Execute("INSERT INTO Rates VALUES ('r', 0.123456, 0.123456)");
  Execute("INSERT INTO Ledger (Label, Amount, Rate) SELECT * FROM Rates");
  Execute("INSERT INTO Ledger (Label, Amount, Rate) SELECT Label, Amount * 2, Rate FROM Rates");
  EXPECT_EQ(StockShell(path_, "SELECT Amount, Rate FROM Ledger ORDER BY ID"), "0.1235|0.123456\n0.2469|0.123456\n");

  auto query = database_->CreateQueryDef(
      "", "PARAMETERS [value] Double; INSERT INTO Ledger (Label, Amount) VALUES ('p', [value])");
  query->Parameters().Item("value")->SetValue(Variant(9.87654));
  query->Execute(dbFailOnError);
  EXPECT_EQ(Scalar("SELECT Amount FROM Ledger WHERE Label = 'p'"), Money(98765));
  // A recordset's field takes the same form.
  auto recordset = Open("Ledger", dbOpenDynaset);
  recordset->AddNew();
  recordset->Fields().Item("Label")->SetValue(Variant("f"));
  recordset->Fields().Item("Amount")->SetValue(Variant(0.1 + 0.2));
  recordset->Update();
  EXPECT_EQ(Count("Label = 'f' AND Amount = 0.3"), 1);
}

}  // namespace
}  // namespace lumo::jet::testing
