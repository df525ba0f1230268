// master-detail: customers and their orders in one window. The upper grid lists the
// customers; the lower grid shows the orders of the customer selected above, and follows
// every move of the upper one. The orders dataset is the customers' detail: its MasterSource
// is the customers' data source and MasterFields "CustNo -> ID" links them, so the engine
// selects the orders each time.
//
//   master-detail [DATABASE]        default: customers.mdb in the current folder
//
// A database that does not exist yet is made with the database shell (jetsh) from
// customers.sql beside this program's source, built into the program.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <string>
#include <utility>

#include "dao/database/LumoDaoDataBase.h"
#include "dao/dataset/LumoDaoTable.h"
#include "db/DataSource.h"
#include "gui/Application.h"
#include "gui/DBGrid.h"
#include "gui/DBNavigator.h"
#include "gui/Form.h"
#include "runtime/CommandLine.h"

namespace {

using namespace lumo;

constexpr const char* kSchema = R"(CREATE TABLE Customers (ID COUNTER PRIMARY KEY, Name TEXT(40), City TEXT(30));
CREATE TABLE Orders (ID COUNTER PRIMARY KEY, CustNo LONG, OrderDate DATETIME, Item TEXT(40), Amount CURRENCY);
CREATE INDEX ByCustomer ON Orders (CustNo);
INSERT INTO Customers (Name, City) VALUES ('Meier & Söhne', 'Köln');
INSERT INTO Customers (Name, City) VALUES ('Schmitt GmbH', 'Bonn');
INSERT INTO Customers (Name, City) VALUES ('O''Brien Ltd', 'Dublin');
INSERT INTO Orders (CustNo, OrderDate, Item, Amount) VALUES (1, #3/1/2026#, 'Schreibtisch', 420);
INSERT INTO Orders (CustNo, OrderDate, Item, Amount) VALUES (1, #3/4/2026#, 'Lampe', 35.5);
INSERT INTO Orders (CustNo, OrderDate, Item, Amount) VALUES (2, #3/2/2026#, 'Regal', 129);
INSERT INTO Orders (CustNo, OrderDate, Item, Amount) VALUES (3, #3/3/2026#, 'Stuhl', 89);
INSERT INTO Orders (CustNo, OrderDate, Item, Amount) VALUES (3, #3/5/2026#, 'Tisch', 310);
INSERT INTO Orders (CustNo, OrderDate, Item, Amount) VALUES (3, #3/9/2026#, 'Teppich', 75);
)";

// Makes the database with the shell, as a person would; false when the shell failed.
bool CreateWithShell(const std::string& path) {
  const std::string script = path + ".sql";
  std::ofstream(script) << kSchema;
  const std::string command = std::string(LUMO_JETSH) + " --create '" + path + "' -f '" + script + "'";
  const int status = std::system(command.c_str());
  std::filesystem::remove(script);
  return status == 0;
}

// Columns wide enough for the example's texts (the grid's default is narrower).
void AddColumns(TDBGrid& grid, std::initializer_list<std::pair<const char*, int>> columns) {
  for (const auto& [name, width] : columns) {
    TColumn* column = grid.Columns().Add();
    column->SetFieldName(name);
    column->SetWidth(width);
  }
}

}  // namespace

int main(int argc, char** argv) {
  SetCommandLine(argc, argv);
  const std::string path = argc > 1 ? argv[1] : "customers.mdb";
  if (!std::filesystem::exists(path) && !CreateWithShell(path)) {
    std::cerr << "master-detail: cannot create " << path << " with " << LUMO_JETSH << "\n";
    return 1;
  }

  Application.Initialize();
  TForm* form = nullptr;
  Application.CreateForm(form);
  form->SetCaption("Kunden und Aufträge");
  form->SetBounds(100, 100, 640, 420);

  auto* database = new TLumoDaoDatabase(form);
  database->F_Set_Database(path);
  auto* customers = new TLumoDaoTable(form);
  customers->SetName("Customers");
  customers->F_Set_Database(database);
  customers->F_Set_TableName("Customers");
  auto* customerSource = new TDataSource(form);
  customerSource->SetDataSet(customers);

  auto* orders = new TLumoDaoTable(form);
  orders->SetName("Orders");
  orders->F_Set_Database(database);
  orders->F_Set_TableName("Orders");
  TStringList sort;
  sort.Add("OrderDate");
  orders->F_Set_SortedBy(sort);
  TStringList link;
  link.Add("CustNo -> ID");
  orders->F_Set_MasterFields(link);
  orders->F_Set_MasterSource(customerSource);
  auto* orderSource = new TDataSource(form);
  orderSource->SetDataSet(orders);

  auto* navigator = new TDBNavigator(form);
  navigator->SetParent(form);
  navigator->SetAlign(TAlign::alTop);
  navigator->SetHeight(28);
  navigator->SetDataSource(customerSource);
  auto* customerGrid = new TDBGrid(form);
  customerGrid->SetParent(form);
  customerGrid->SetAlign(TAlign::alTop);
  customerGrid->SetHeight(150);
  customerGrid->SetDataSource(customerSource);
  AddColumns(*customerGrid, {{"ID", 40}, {"Name", 180}, {"City", 120}});
  auto* orderGrid = new TDBGrid(form);
  orderGrid->SetParent(form);
  orderGrid->SetAlign(TAlign::alClient);
  orderGrid->SetDataSource(orderSource);
  AddColumns(*orderGrid, {{"ID", 40}, {"CustNo", 60}, {"OrderDate", 100}, {"Item", 140}, {"Amount", 80}});

  database->Open();
  orders->Open();  // opens the customers too (MasterAutoActivate)
  // The third customer (a name with an apostrophe, three orders), so that the picture shows
  // the link at work.
  customers->MoveBy(2);
  return Application.Run();
}
