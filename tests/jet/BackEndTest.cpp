// The choice of storage back-end by the connect text's type: Workspace::OpenDatabase opens
// through the back-end registered for the type, SQLite answering for plain files.

#include "jet/storage/BackEnd.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/Workspace.h"
#include "tests/jet/EngineTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoNumberOf;

// A back-end that hands every call on to the file back-end and notes what it was asked.
class NotingBackEnd final : public storage::BackEnd {
 public:
  std::shared_ptr<storage::Connection> Open(const storage::ConnectionSettings& settings) override {
    opened.push_back(settings);
    return file_->Open(settings);
  }
  std::shared_ptr<storage::Connection> Create(const storage::ConnectionSettings& settings) override {
    return file_->Create(settings);
  }
  void Discard(const std::string& path) noexcept override { file_->Discard(path); }
  std::unique_ptr<storage::Connection> OpenScan(storage::Connection& session,
                                                const storage::ConnectionSettings& settings) override {
    return file_->OpenScan(session, settings);
  }
  std::unique_ptr<storage::SchemaWriter> MakeSchemaWriter(DatabaseFile& file, std::string source) override {
    return file_->MakeSchemaWriter(file, std::move(source));
  }
  std::unique_ptr<storage::RowWriter> MakeRowWriter(DatabaseFile& file) override { return file_->MakeRowWriter(file); }

  std::vector<storage::ConnectionSettings> opened;

 private:
  std::shared_ptr<storage::BackEnd> file_ = storage::MakeFileBackEnd();
};

class BackEndTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    path_ = PathOf("a.mdb");
    engine_.CreateDatabase(path_, dbLangGeneral)->Close();
  }

  DBEngine engine_{"3.6"};
  std::string path_;
};

TEST_F(BackEndTest, FilesOpenThroughTheFileBackEndWhateverJetCallsThem) {
  std::shared_ptr<storage::BackEnd> plain = storage::BackEndFor("");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(storage::BackEndFor("MS Access"), plain);
  EXPECT_EQ(storage::BackEndFor("ms access"), plain);
  engine_.OpenDatabase(path_, false, false, "MS Access;PWD=")->Close();
}

TEST_F(BackEndTest, UnknownTypesAnswerThatNoDriverIsInstalled) {
  EXPECT_EQ(DaoNumberOf([] { storage::BackEndFor("dBASE IV"); }), 3170);
  EXPECT_EQ(DaoNumberOf([&] { engine_.OpenDatabase(path_, false, false, "dBASE IV;"); }), 3170);
  // The type is checked before the name: a bad type with no name still answers 3170.
  EXPECT_EQ(DaoNumberOf([&] { engine_.OpenDatabase("", false, false, "Paradox 5.x;"); }), 3170);
}

TEST_F(BackEndTest, OpenDatabaseUsesTheBackEndRegisteredForTheType) {
  auto noting = std::make_shared<NotingBackEnd>();
  storage::RegisterBackEnd("Noting", noting);
  auto database = engine_.OpenDatabase(path_, true, true, "Noting;PWD=");
  ASSERT_EQ(noting->opened.size(), 1u);
  EXPECT_EQ(noting->opened[0].path, path_);
  EXPECT_TRUE(noting->opened[0].exclusive);
  EXPECT_TRUE(noting->opened[0].readOnly);
  EXPECT_NE(noting->opened[0].identity, nullptr);
  EXPECT_EQ(DaoNumberOf([&] { database->Execute("CREATE TABLE t (x INTEGER)"); }), 3027);
  database->Close();
  // Registering again under the same type replaces the back-end.
  auto other = std::make_shared<NotingBackEnd>();
  storage::RegisterBackEnd("NOTING", other);
  engine_.OpenDatabase(path_, false, false, "noting;")->Close();
  EXPECT_EQ(noting->opened.size(), 1u);
  EXPECT_EQ(other->opened.size(), 1u);
}

}  // namespace
}  // namespace lumo::jet
