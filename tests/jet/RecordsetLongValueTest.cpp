// Memo and Long Binary values of recordset fields: large values written and read through
// Value, AppendChunk, GetChunk and FieldSize, uncut and byte for byte, checked by the stock
// shell; binary data never passes through text.
#include "jet/Recordset.h"

#include <gtest/gtest.h>

#include "jet/Field.h"
#include "tests/jet/RecordsetTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoNumberOf;
using testing::StockShell;

std::vector<uint8_t> EveryByte(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 131 + (i >> 11)) & 0xFF);
  return bytes;
}

class RecordsetLongValueTest : public testing::RecordsetTestBase {
 protected:
  void SetUp() override {
    RecordsetTestBase::SetUp();
    Execute("CREATE TABLE Blobs (ID COUNTER PRIMARY KEY, Body MEMO, Data LONGBINARY, Small BINARY(4))");
  }
  std::string Shell(const std::string& sql) { return StockShell(path_, sql); }
};

TEST_F(RecordsetLongValueTest, LargeValuesInChunksComeBackWhole) {
  const std::vector<uint8_t> bytes = EveryByte(6 * 1024 * 1024 + 7);
  std::string text;
  while (text.size() < 3 * 1024 * 1024)
    text +=
        "Gr\xC3\xBC\xC3\x9F"
        "e, Zeile " +
        std::to_string(text.size()) + "\r\n";

  auto recordset = Open("Blobs", dbOpenDynaset);
  recordset->AddNew();
  Field& body = *recordset->Fields().Item("Body");
  Field& data = *recordset->Fields().Item("Data");
  for (size_t at = 0; at < bytes.size(); at += 65536) {
    const size_t end = std::min(bytes.size(), at + 65536);
    data.AppendChunk(Variant(std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                                  bytes.begin() + static_cast<std::ptrdiff_t>(end))));
  }
  for (size_t at = 0; at < text.size(); at += 40000) body.AppendChunk(Variant(text.substr(at, 40000)));
  EXPECT_EQ(data.FieldSize(), static_cast<int>(bytes.size()));  // the edit buffer's size
  recordset->Update();
  recordset->SetBookmark(recordset->LastModified());

  EXPECT_EQ(data.FieldSize(), static_cast<int>(bytes.size()));
  EXPECT_EQ(body.FieldSize(), static_cast<int>(text.size()));  // bytes, not characters
  std::vector<uint8_t> read;
  for (int offset = 0;; offset += 100000) {
    std::vector<uint8_t> piece = data.GetChunk(offset, 100000).AsBytes();
    if (piece.empty()) break;
    read.insert(read.end(), piece.begin(), piece.end());
  }
  EXPECT_TRUE(read == bytes);
  EXPECT_TRUE(data.Value() == Variant(bytes));
  EXPECT_EQ(VarToStr(body.Value()), text);
  EXPECT_EQ(VarToStr(body.GetChunk(0, 7)),
            "Gr\xC3\xBC\xC3\x9F"
            "e");
  // An over-long request gives the rest; one past the end nothing.
  EXPECT_EQ(data.GetChunk(static_cast<int>(bytes.size()) - 2, 100).AsBytes(),
            std::vector<uint8_t>(bytes.end() - 2, bytes.end()));
  EXPECT_TRUE(data.GetChunk(static_cast<int>(bytes.size()), 1).AsBytes().empty());
  EXPECT_EQ(DaoNumberOf([&] { data.GetChunk(-1, 1); }), 3001);

  EXPECT_EQ(Shell("SELECT length(Data), typeof(Data), length(CAST(Body AS BLOB)), typeof(Body) FROM Blobs"),
            std::to_string(bytes.size()) + "|blob|" + std::to_string(text.size()) + "|text\n");
  // The stored bytes themselves, as the stock shell sees them.
  EXPECT_EQ(Shell("SELECT hex(substr(Data, 6291450, 8)) FROM Blobs"), [&] {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (size_t i = 6291449; i < 6291457; ++i) {
      hex += kDigits[bytes[i] >> 4];
      hex += kDigits[bytes[i] & 15];
    }
    return hex + "\n";
  }());
}

TEST_F(RecordsetLongValueTest, BinaryValuesAreBytesWhateverTheyLookLike) {
  auto recordset = Open("Blobs", dbOpenDynaset);
  recordset->AddNew();
  // Zero bytes and sequences that are no UTF-8.
  const std::vector<uint8_t> odd = {0x00, 0xFF, 0xC3, 0x28, 0x00, 0xF8, 0x80};
  recordset->Fields().Item("Data")->SetValue(Variant(odd));
  recordset->Fields().Item("Small")->SetValue(Variant(std::vector<uint8_t>{0, 0, 0}));
  recordset->Update();
  EXPECT_EQ(Shell("SELECT hex(Data), typeof(Data), hex(Small) FROM Blobs"), "00FFC32800F880|blob|000000\n");
  recordset->SetBookmark(recordset->LastModified());
  EXPECT_TRUE(recordset->Fields().Item("Data")->Value() == Variant(odd));
  EXPECT_EQ(recordset->Fields().Item("Data")->FieldSize(), 7);

  // A fixed binary field refuses what does not fit, also when the value grows by chunks; the
  // value keeps what it had.
  recordset->Edit();
  Field& small = *recordset->Fields().Item("Small");
  EXPECT_EQ(DaoNumberOf([&] { small.SetValue(Variant(std::vector<uint8_t>(5, 1))); }), 3163);
  small.AppendChunk(Variant(std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(DaoNumberOf([&] { small.AppendChunk(Variant(std::vector<uint8_t>{4, 5})); }), 3163);
  EXPECT_EQ(small.Value(), Variant(std::vector<uint8_t>{1, 2, 3}));
  recordset->Update();
  EXPECT_EQ(Shell("SELECT hex(Small) FROM Blobs"), "010203\n");

  // An empty byte array stays an empty value, not Null.
  recordset->Edit();
  recordset->Fields().Item("Data")->SetValue(Variant(std::vector<uint8_t>()));
  recordset->Update();
  EXPECT_EQ(Shell("SELECT typeof(Data), length(Data) FROM Blobs"), "blob|0\n");
}

}  // namespace
}  // namespace lumo::jet
