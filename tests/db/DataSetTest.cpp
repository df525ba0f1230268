// The dataset framework over an array-backed dataset: navigation, the buffer window,
// bookmarks, editing with the record-source calls in order, error events, data links.

#include "db/DataSet.h"

#include "tests/db/DbTestSupport.h"

#include <gtest/gtest.h>

namespace lumo {
namespace {

using test::TArrayDataSet;
using test::TRecordingLink;

class DataSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_.SetName("People");
    data_.Define("Id", ftInteger);
    data_.Define("Name", ftString, 10);
    for (int i = 1; i <= 10; ++i) data_.AddRow({std::to_string(i), "N" + std::to_string(i)});
  }
  int CurrentId() { return data_.FieldByName("id")->AsInteger(); }
  std::vector<std::string> CallsSince(size_t from) {
    return std::vector<std::string>(data_.calls_.begin() + static_cast<long>(from), data_.calls_.end());
  }

  TArrayDataSet data_;
};

TEST_F(DataSetTest, OpensOnFirstRecordWithDefaultFieldsAndClosesCleanly) {
  data_.Open();
  EXPECT_EQ(data_.State(), TDataSetState::dsBrowse);
  EXPECT_TRUE(data_.DefaultFields());
  ASSERT_EQ(data_.FieldCount(), 2);
  EXPECT_NE(dynamic_cast<TStringField*>(data_.FieldByName("NAME")), nullptr);
  EXPECT_EQ(CurrentId(), 1);
  EXPECT_TRUE(data_.Bof());
  EXPECT_FALSE(data_.Eof());
  EXPECT_EQ(data_.RecordCount(), 10);
  data_.Close();
  EXPECT_EQ(data_.FieldCount(), 0);
  EXPECT_EQ(data_.liveBuffers_, 0);
  EXPECT_THROW(data_.RecordCount(), EDatabaseError);
}

TEST_F(DataSetTest, MovesThroughRecordsAndStopsAtBothEnds) {
  data_.Open();
  EXPECT_EQ(data_.MoveBy(4), 4);
  EXPECT_EQ(CurrentId(), 5);
  EXPECT_EQ(data_.RecNo(), 5);
  EXPECT_EQ(data_.MoveBy(20), 5);
  EXPECT_TRUE(data_.Eof());
  EXPECT_EQ(CurrentId(), 10);
  data_.Next();
  EXPECT_EQ(CurrentId(), 10);
  EXPECT_EQ(data_.MoveBy(-3), -3);
  EXPECT_EQ(CurrentId(), 7);
  data_.First();
  EXPECT_TRUE(data_.Bof());
  data_.Prior();
  EXPECT_TRUE(data_.Bof());
  EXPECT_EQ(CurrentId(), 1);
  data_.Last();
  EXPECT_TRUE(data_.Eof());
  EXPECT_EQ(CurrentId(), 10);
  int seen = 0;
  for (data_.First(); !data_.Eof(); data_.Next()) ++seen;
  EXPECT_EQ(seen, 10);
}

TEST_F(DataSetTest, EmptyDatasetIsBofAndEof) {
  TArrayDataSet empty;
  empty.Define("Id", ftInteger);
  empty.Open();
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_TRUE(empty.Bof());
  EXPECT_TRUE(empty.Eof());
  EXPECT_TRUE(empty.FieldByName("Id")->IsNull());
  EXPECT_THROW(empty.Delete(), EDatabaseError);
}

TEST_F(DataSetTest, WindowFollowsLargestLinkAndKeepsRowsInOrder) {
  TDataSource source(nullptr);
  source.SetDataSet(&data_);
  TRecordingLink link;
  link.SetBufferCount(4);
  link.SetDataSource(&source);
  data_.Open();
  EXPECT_EQ(data_.BufferCount(), 4);
  EXPECT_EQ(link.RecordCount(), 4);
  auto rowIds = [&] {
    std::vector<int> ids;
    int saved = link.ActiveRecord();
    for (int row = 0; row < link.RecordCount(); ++row) {
      link.SetActiveRecord(row);
      ids.push_back(CurrentId());
    }
    link.SetActiveRecord(saved);
    return ids;
  };
  EXPECT_EQ(rowIds(), (std::vector<int>{1, 2, 3, 4}));
  data_.MoveBy(5);  // onto 6: the window scrolls so that 6 is the last row
  EXPECT_EQ(CurrentId(), 6);
  EXPECT_EQ(link.ActiveRecord(), 3);
  EXPECT_EQ(rowIds(), (std::vector<int>{3, 4, 5, 6}));
  data_.MoveBy(-3);  // 3 is still in the window: no refetch
  EXPECT_EQ(link.ActiveRecord(), 0);
  data_.Prior();
  EXPECT_EQ(rowIds(), (std::vector<int>{2, 3, 4, 5}));
  EXPECT_EQ(link.events_.back(), "scrolled -1");
  data_.Last();
  EXPECT_EQ(rowIds(), (std::vector<int>{7, 8, 9, 10}));
  link.SetBufferCount(2);
  EXPECT_EQ(data_.BufferCount(), 2);
  EXPECT_EQ(CurrentId(), 10);
  link.SetDataSource(nullptr);
  EXPECT_EQ(data_.BufferCount(), 1);
  EXPECT_EQ(CurrentId(), 10);
}

TEST_F(DataSetTest, BookmarksReturnToTheirRecord) {
  data_.Open();
  data_.MoveBy(6);
  TBookmark mark = data_.GetBookmark();
  ASSERT_EQ(mark.size(), 4u);
  data_.First();
  TBookmark first = data_.GetBookmark();
  EXPECT_LT(data_.CompareBookmarks(first, mark), 0);
  EXPECT_EQ(data_.CompareBookmarks(TBookmark(), TBookmark()), 0);
  data_.GotoBookmark(mark);
  EXPECT_EQ(CurrentId(), 7);
  EXPECT_TRUE(data_.BookmarkValid(mark));
  data_.Delete();
  EXPECT_FALSE(data_.BookmarkValid(mark));
  EXPECT_FALSE(data_.BookmarkValid(TBookmark()));
  EXPECT_THROW(data_.GotoBookmark(mark), EDatabaseError);
}

TEST_F(DataSetTest, InsertPostsThroughWriteRecordChangesBeforeTheActiveRecord) {
  data_.Open();
  data_.MoveBy(2);
  size_t from = data_.calls_.size();
  int newRecords = 0;
  data_.OnNewRecord = [&](TDataSet&) { ++newRecords; };
  data_.Insert();
  EXPECT_EQ(data_.State(), TDataSetState::dsInsert);
  EXPECT_EQ(newRecords, 1);
  EXPECT_TRUE(data_.FieldByName("Id")->IsNull());
  data_.FieldByName("Id")->SetAsInteger(42);
  data_.Post();
  EXPECT_EQ(CallsSince(from),
            (std::vector<std::string>{"ClearRecordBuffer", "RaiseNewRecordEvent", "WriteRecordChanges"}));
  EXPECT_EQ(data_.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(CurrentId(), 42);
  EXPECT_EQ(data_.TextAt(2, 0), "42");
  data_.Next();
  EXPECT_EQ(CurrentId(), 3);
}

TEST_F(DataSetTest, AppendPostsAtTheEnd) {
  data_.Open();
  size_t from = data_.calls_.size();
  data_.Append();
  data_.FieldByName("Id")->SetAsInteger(11);
  data_.Post();
  EXPECT_EQ(CallsSince(from), (std::vector<std::string>{"ClearRecordBuffer", "PositionAtEnd", "RaiseNewRecordEvent",
                                                        "WriteRecordChanges"}));
  EXPECT_EQ(data_.TextAt(10, 0), "11");
  EXPECT_EQ(CurrentId(), 11);
  data_.Next();
  EXPECT_TRUE(data_.Eof());
}

TEST_F(DataSetTest, CancelDropsInsertAndEditWithoutWriting) {
  data_.Open();
  data_.MoveBy(3);
  data_.Insert();
  data_.FieldByName("Id")->SetAsInteger(99);
  data_.Cancel();
  EXPECT_EQ(data_.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(data_.rows_.size(), 10u);
  EXPECT_EQ(CurrentId(), 4);
  data_.Edit();
  data_.FieldByName("Name")->SetAsString("changed");
  data_.Cancel();
  EXPECT_EQ(data_.FieldByName("Name")->AsString(), "N4");
  EXPECT_EQ(std::count(data_.calls_.begin(), data_.calls_.end(), "CancelChanges"), 2);
  EXPECT_EQ(std::count(data_.calls_.begin(), data_.calls_.end(), "WriteRecordChanges"), 0);
}

TEST_F(DataSetTest, EditPostAndDeleteReachTheRecordSource) {
  data_.Open();
  data_.MoveBy(4);
  size_t from = data_.calls_.size();
  data_.Edit();
  data_.FieldByName("Name")->SetAsString("Fifth");
  EXPECT_TRUE(data_.Modified());
  data_.Post();
  EXPECT_EQ(data_.TextAt(4, 1), "Fifth");
  data_.Delete();
  EXPECT_EQ(CallsSince(from),
            (std::vector<std::string>{"BeginRecordEdit", "WriteRecordChanges", "DeleteCurrentRecord"}));
  EXPECT_EQ(data_.rows_.size(), 9u);
  EXPECT_EQ(CurrentId(), 6);  // the next record moves up
  data_.Last();
  data_.Delete();
  EXPECT_EQ(CurrentId(), 9);  // deleting the last record lands on the one before
}

TEST_F(DataSetTest, ReadOnlyDatasetRefusesChanges) {
  data_.readOnly_ = true;
  data_.Open();
  try {
    data_.Edit();
    FAIL();
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "People: Cannot modify a read-only dataset");
  }
  EXPECT_THROW(data_.Insert(), EDatabaseError);
  try {
    data_.FieldByName("Name")->SetAsString("x");
    FAIL();
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "People: Dataset not in edit or insert mode");
  }
  try {
    data_.Delete();
    FAIL();
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "People: Cannot modify a read-only dataset");
  }
  EXPECT_EQ(data_.rows_.size(), 10u);
}

TEST_F(DataSetTest, ErrorEventsRetryAbortAndFail) {
  data_.Open();
  std::vector<std::string> messages;
  TDataAction answer = TDataAction::daRetry;
  data_.OnPostError = [&](TDataSet&, Exception& error, TDataAction& action) {
    messages.push_back(error.Message());
    action = answer;
  };
  data_.Edit();
  data_.FieldByName("Name")->SetAsString("again");
  data_.failWrites_ = 2;
  data_.Post();  // two failures, answered by retry
  EXPECT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "Post failed");
  EXPECT_EQ(data_.TextAt(0, 1), "again");

  data_.Edit();
  data_.FieldByName("Name")->SetAsString("x");
  data_.failWrites_ = 1;
  answer = TDataAction::daAbort;
  EXPECT_THROW(data_.Post(), EAbort);
  EXPECT_EQ(data_.State(), TDataSetState::dsEdit);

  data_.failWrites_ = 1;
  answer = TDataAction::daFail;
  try {
    data_.Post();
    FAIL();
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "Post failed");
  }
  data_.Cancel();

  int editErrors = 0;
  data_.OnEditError = [&](TDataSet&, Exception&, TDataAction& action) {
    ++editErrors;
    action = TDataAction::daRetry;
  };
  data_.failEdits_ = 1;
  data_.Edit();
  EXPECT_EQ(editErrors, 1);
  EXPECT_EQ(data_.State(), TDataSetState::dsEdit);
  data_.Cancel();

  data_.OnDeleteError = [&](TDataSet&, Exception&, TDataAction& action) { action = TDataAction::daAbort; };
  data_.failDeletes_ = 1;
  EXPECT_THROW(data_.Delete(), EAbort);
  EXPECT_EQ(data_.rows_.size(), 10u);
}

TEST_F(DataSetTest, DatasetThatConsultsErrorEventsItselfIsNotAskedTwice) {
  data_.consultsErrorEvents_ = true;
  data_.Open();
  int calls = 0;
  data_.OnEditError = [&](TDataSet&, Exception&, TDataAction& action) {
    ++calls;
    action = TDataAction::daRetry;
  };
  data_.failEdits_ = 1;
  EXPECT_THROW(data_.Edit(), EDatabaseError);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(data_.State(), TDataSetState::dsBrowse);
}

TEST_F(DataSetTest, CheckBrowseModePostsChangesAndCancelsUntouchedRecords) {
  data_.Open();
  data_.Insert();
  data_.CheckBrowseMode();
  EXPECT_EQ(data_.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(data_.rows_.size(), 10u);
  data_.Edit();
  data_.FieldByName("Name")->SetAsString("kept");
  data_.Next();  // moving checks browse mode first
  EXPECT_EQ(data_.TextAt(0, 1), "kept");
  EXPECT_EQ(CurrentId(), 2);
}

TEST_F(DataSetTest, InsertRecordAssignsValuesInFieldOrderAndAddsFromBuffer) {
  data_.Open();
  size_t from = data_.calls_.size();
  data_.InsertRecord({Variant::Null(), Variant("Newcomer")});
  std::vector<std::string> calls = CallsSince(from);
  EXPECT_EQ(calls,
            (std::vector<std::string>{"ClearRecordBuffer", "RaiseNewRecordEvent", "AddRecordFromBuffer(insert)"}));
  EXPECT_EQ(data_.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(data_.RecordCount(), 11);
  EXPECT_EQ(data_.TextAt(0, 0), "<null>");  // Null values are skipped
  EXPECT_EQ(data_.TextAt(0, 1), "Newcomer");
  EXPECT_EQ(data_.FieldByName("Name")->AsString(), "Newcomer");
  data_.AppendRecord({7});
  EXPECT_EQ(data_.calls_.back(), "AddRecordFromBuffer(append)");
  EXPECT_EQ(data_.TextAt(11, 0), "7");
}

TEST_F(DataSetTest, FailedOpenClosesTheRecordSourceAgain) {
  TStringField missing(nullptr);
  missing.SetFieldName("Missing");
  missing.SetDataSet(&data_);
  try {
    data_.Open();
    FAIL();
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "People: Field 'Missing' not found");
  }
  EXPECT_FALSE(data_.Active());
  EXPECT_EQ(data_.calls_.back(), "CloseRecordSource");
  EXPECT_EQ(data_.liveBuffers_, 0);
}

TEST_F(DataSetTest, CalculatedFieldsAreComputedIntoTheCalcArea) {
  TIntegerField id(nullptr);
  id.SetFieldName("Id");
  id.SetDataSet(&data_);
  TIntegerField doubled(nullptr);
  doubled.SetFieldName("Doubled");
  doubled.SetFieldKind(TFieldKind::fkCalculated);
  doubled.SetDataSet(&data_);
  data_.OnCalcFields = [&](TDataSet&) {
    if (!id.IsNull()) doubled.SetAsInteger(id.AsInteger() * 2);
  };
  data_.Open();
  EXPECT_EQ(data_.CalcFieldsSize(), 5);
  EXPECT_EQ(doubled.FieldNo(), 0);
  data_.MoveBy(3);
  EXPECT_EQ(doubled.AsInteger(), 8);
  data_.Edit();
  id.SetAsInteger(21);  // a data change recomputes the calculated fields
  EXPECT_EQ(doubled.AsInteger(), 42);
  data_.Cancel();
  data_.Close();
  EXPECT_EQ(data_.FieldCount(), 2);  // persistent fields stay
}

TEST_F(DataSetTest, DataLinksHearStateRecordAndDataChanges) {
  TDataSource source(nullptr);
  source.SetDataSet(&data_);
  TRecordingLink link;
  link.SetDataSource(&source);
  int stateChanges = 0;
  source.OnStateChange = [&](TDataSource&) { ++stateChanges; };
  data_.Open();
  EXPECT_TRUE(link.Active());
  data_.Edit();
  data_.FieldByName("Name")->SetAsString("x");
  data_.Post();
  std::vector<std::string> expected{"active", "editing", "record", "record Name", "not editing", "changed"};
  EXPECT_EQ(link.events_, expected);
  EXPECT_EQ(stateChanges, 3);

  link.events_.clear();
  data_.DisableControls();
  data_.Next();
  data_.Next();
  EXPECT_TRUE(link.events_.empty());
  data_.EnableControls();
  EXPECT_EQ(link.events_, std::vector<std::string>{"changed"});
  data_.Close();
  EXPECT_EQ(link.events_.back(), "inactive");
  EXPECT_FALSE(link.Active());
}

TEST_F(DataSetTest, StreamedActiveOpensAfterLoading) {
  data_.SetStateFlag(ComponentStateFlag::kLoading, true);
  data_.SetActive(true);
  EXPECT_FALSE(data_.Active());
  data_.SetStateFlag(ComponentStateFlag::kLoading, false);
  data_.FinishLoading();
  EXPECT_TRUE(data_.Active());
}

}  // namespace
}  // namespace lumo
