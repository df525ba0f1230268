// read-table DATABASE TABLE: prints the table's field names and then every row, values
// separated by tabs (an empty value is Null or empty text), read through the dataset
// component as a program with a grid would read it.
#include <iostream>
#include <string>

#include "dao/database/LumoDaoDataBase.h"
#include "dao/dataset/LumoDaoTable.h"
#include "db/Field.h"
#include "library/LumoLibrary.h"
#include "runtime/Exceptions.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: read-table DATABASE TABLE   (liblumo " << lumo::LibraryVersion() << ")\n";
    return 2;
  }
  try {
    lumo::TLumoDaoDatabase database(nullptr);
    database.F_Set_Database(argv[1]);
    database.F_Set_ReadOnly(true);
    database.Open();

    lumo::TLumoDaoTable table(nullptr);
    table.F_Set_Database(&database);
    table.F_Set_TableName(argv[2]);
    table.Open();

    const char* separator = "";
    for (lumo::TField* field : table.Fields()) {
      std::cout << separator << field->FieldName();
      separator = "\t";
    }
    std::cout << '\n';
    for (table.First(); !table.Eof(); table.Next()) {
      separator = "";
      for (lumo::TField* field : table.Fields()) {
        std::cout << separator << field->AsString();
        separator = "\t";
      }
      std::cout << '\n';
    }
  } catch (const std::exception& error) {
    std::cerr << "read-table: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
