#include "jet/RecordSource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace lumo::jet {
namespace {

// Bookmarks are numbered in the order rows are first seen, whatever their row ids look like:
// small and dense, far apart, negative, or a mix that arrives out of order.
TEST(RecordSourceTest, BookmarksNumberRowsInFirstSeenOrderForAnyRowIds) {
  BookmarkTable table;
  const std::vector<RowKey> keys = {1, 2, 7, 0, -5, 5000000000LL, INT64_MIN, 3, 100000, 4095, 4096, INT64_MAX};
  for (size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(table.BookmarkOf(keys[i], static_cast<RowPosition>(i)), i + 1) << keys[i];
  }
  // Asked again, every row keeps its number and the hint is the latest one given.
  for (size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(table.BookmarkOf(keys[i], static_cast<RowPosition>(100 + i)), i + 1) << keys[i];
    auto row = table.RowOf(static_cast<uint32_t>(i + 1));
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->first, keys[i]);
    EXPECT_EQ(row->second, static_cast<RowPosition>(100 + i));
  }
  EXPECT_FALSE(table.RowOf(0).has_value());
  EXPECT_FALSE(table.RowOf(static_cast<uint32_t>(keys.size() + 1)).has_value());
}

// A long forward scan hands out one bookmark per row; ids that become reachable by the flat
// array only after it grew must still find the number they got from the map.
TEST(RecordSourceTest, BookmarksStayStableAcrossALongScanWithGaps) {
  BookmarkTable table;
  EXPECT_EQ(table.BookmarkOf(50000, 0), 1u);  // sparse while the table is small
  uint32_t expected = 2;
  for (RowKey key = 1; key <= 60000; key += 3) {  // 1, 4, 7 ...: never 50000
    ASSERT_EQ(table.BookmarkOf(key, key), expected++) << key;
  }
  EXPECT_EQ(table.BookmarkOf(50000, 7), 1u);
  table.NoteHint(1, 9);
  EXPECT_EQ(table.RowOf(1)->second, 9);
  for (RowKey key = 1; key <= 60000; key += 3) {
    EXPECT_EQ(table.RowOf(table.BookmarkOf(key, 0))->first, key);
  }
}

}  // namespace
}  // namespace lumo::jet
