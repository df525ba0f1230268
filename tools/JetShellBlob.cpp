// jetsh: a file's bytes into a memo or binary field of one record, and a field's content out
// into a file, so that a person can put in or look at what a program stored.

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <ostream>
#include <stdexcept>

#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/Field.h"
#include "jet/Recordset.h"
#include "tools/JetShell.h"

namespace lumo::tools {

using namespace lumo::jet;

namespace {

bool IsBlobType(int type) { return type == dbMemo || type == dbLongBinary || type == dbBinary || type == dbVarBinary; }

std::string Bracketed(const std::string& name) {
  if (name.empty() || name.find_first_of("[]") != std::string::npos) {
    throw std::invalid_argument("not a usable name: \"" + name + "\"");
  }
  return "[" + name + "]";
}

std::string Bytes(size_t count) { return std::to_string(count) + (count == 1 ? " byte" : " bytes"); }

}  // namespace

std::shared_ptr<Recordset> JetShell::OpenBlobRecord(const std::string& table, const std::string& field,
                                                    const std::string& where, bool forWriting) {
  const std::string sql =
      "SELECT " + Bracketed(field) + " FROM " + Bracketed(table) + (where.empty() ? std::string() : " WHERE " + where);
  auto recordset = database_->OpenRecordset(sql, forWriting ? dbOpenDynaset : dbOpenSnapshot);
  std::shared_ptr<Field> column = recordset->Fields().Item(0);
  if (!IsBlobType(column->Type())) {
    throw std::invalid_argument(table + "." + field + " is a " + DaoTypeName(column->Type()) +
                                " field, not a Memo or binary one");
  }
  if (recordset->IsEOF()) throw std::invalid_argument("no record of " + table + " matches " + where);
  recordset->MoveNext();
  if (!recordset->IsEOF()) {
    recordset->MoveLast();
    throw std::invalid_argument(std::to_string(recordset->RecordCount()) + " records of " + table + " match " + where +
                                "; the criterion must name one");
  }
  recordset->MoveFirst();
  return recordset;
}

void JetShell::BlobOut(const std::string& table, const std::string& field, const std::string& where,
                       const std::string& file) {
  auto recordset = OpenBlobRecord(table, field, where, false);
  Field& column = *recordset->Fields().Item(0);
  const Variant value = column.Value();
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot create " + file + ": " + std::strerror(errno));
  size_t size = 0;
  if (const std::string* text = value.TextIf()) {
    out.write(text->data(), static_cast<std::streamsize>(text->size()));
    size = text->size();
  } else if (const std::vector<uint8_t>* bytes = value.BytesIf()) {
    out.write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
    size = bytes->size();
  }
  out.close();
  if (!out) throw std::runtime_error("cannot write " + file + ": " + std::strerror(errno));
  out_ << Bytes(size) << " of " << table << "." << field << " written to " << file
       << (value.IsNull() ? " (the field is Null)" : "") << ".\n";
  recordset->Close();
}

void JetShell::BlobIn(const std::string& table, const std::string& field, const std::string& where,
                      const std::string& file) {
  // The file is read whole before the record is touched: one that cannot be read changes
  // nothing.
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file + ": " + std::strerror(errno));
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("cannot read " + file + ": " + std::strerror(errno));
  auto recordset = OpenBlobRecord(table, field, where, true);
  Field& column = *recordset->Fields().Item(0);
  const size_t size = content.size();
  recordset->Edit();
  if (column.Type() == dbMemo) {
    column.SetValue(Variant(std::move(content)));
  } else {
    column.SetValue(Variant(std::vector<uint8_t>(content.begin(), content.end())));
  }
  recordset->Update();
  recordset->Close();
  out_ << Bytes(size) << " of " << file << " stored in " << table << "." << field << ".\n";
}

}  // namespace lumo::tools
