#include "runtime/Strings.h"

#include "runtime/Component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumo {

namespace {

std::vector<std::string> Lines(const TStrings& list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i) lines.push_back(list[i]);
  return lines;
}

using L = std::vector<std::string>;

TEST(StringsTest, TextEndsEveryLineWithCrLf) {
  TStringList list;
  EXPECT_EQ(list.Text(), "");
  list.Add("select * from logon");
  list.Add("");
  list.Add("order by logontime desc");
  EXPECT_EQ(list.Text(), "select * from logon\r\n\r\norder by logontime desc\r\n");
}

TEST(StringsTest, SettingTextSplitsAtEveryKindOfLineBreak) {
  TStringList list;
  list.SetText("a\r\nb\nc\rd");
  EXPECT_EQ(Lines(list), (L{"a", "b", "c", "d"}));
  list.SetText("a\r\n");
  EXPECT_EQ(Lines(list), (L{"a"}));
  list.SetText("a\r\n\r\n");
  EXPECT_EQ(Lines(list), (L{"a", ""}));
  list.SetText("\n");
  EXPECT_EQ(Lines(list), (L{""}));
  list.SetText("");
  EXPECT_EQ(list.Count(), 0);
  list.SetText("x\n\ry");  // LF then CR are two breaks
  EXPECT_EQ(Lines(list), (L{"x", "", "y"}));
}

TEST(StringsTest, NameValueAccess) {
  TStringList list;
  list.Add("USER NAME=Admin");
  list.Add("PASSWORD=");
  list.Add("no separator");
  list.Add("DBPASSWORD=a=b");
  EXPECT_EQ(list.Values("user name"), "Admin");
  EXPECT_EQ(list.Values("PASSWORD"), "");
  EXPECT_EQ(list.Values("missing"), "");
  EXPECT_EQ(list.Values("DBPASSWORD"), "a=b");  // the value starts after the first "="
  EXPECT_EQ(list.Names(2), "");
  EXPECT_EQ(list.ValueFromIndex(2), "");
  EXPECT_EQ(list.IndexOfName("no separator"), -1);
  EXPECT_EQ(list.IndexOfName("dbpassword"), 3);

  list.SetValue("PASSWORD", "secret");
  EXPECT_EQ(list[1], "PASSWORD=secret");
  list.SetValue("NEW", "1");
  EXPECT_EQ(list[4], "NEW=1");
  list.SetValue("user name", "");  // an empty value removes the line
  EXPECT_EQ(list.IndexOfName("USER NAME"), -1);
  EXPECT_EQ(list.Count(), 4);
  list.SetValue("absent", "");
  EXPECT_EQ(list.Count(), 4);
}

TEST(StringsTest, SearchesIgnoreCaseUnlessCaseSensitive) {
  TStringList list;
  list.SetCommaText("Logon,query,Übersicht");
  EXPECT_EQ(list.IndexOf("LOGON"), 0);
  EXPECT_EQ(list.IndexOf("übersicht"), 2);
  EXPECT_EQ(list.IndexOf("nothing"), -1);
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf("LOGON"), -1);
  EXPECT_EQ(list.IndexOf("Logon"), 0);
}

TEST(StringsTest, ObjectSlotsTravelWithTheirLines) {
  TObject first;
  TObject second;
  TStringList list;
  list.AddObject("b", &second);
  list.AddObject("a", &first);
  list.Insert(0, "plain");
  EXPECT_EQ(list.Objects(0), nullptr);
  EXPECT_EQ(list.IndexOfObject(&first), 2);
  list.Exchange(1, 2);
  EXPECT_EQ(list[1], "a");
  EXPECT_EQ(list.Objects(1), &first);
  list.Sort();
  EXPECT_EQ(Lines(list), (L{"a", "b", "plain"}));
  EXPECT_EQ(list.Objects(1), &second);
  list.Delete(0);
  EXPECT_EQ(list.IndexOfObject(&first), -1);

  TStringList copy;
  copy.Assign(list);
  EXPECT_EQ(copy.Objects(0), &second);  // copied, never owned
}

TEST(StringsTest, IndexOutOfRangeRaises) {
  TStringList list;
  list.Add("x");
  EXPECT_THROW(list.Get(1), EStringListError);
  EXPECT_THROW(list.Get(-1), EStringListError);
  EXPECT_THROW(list.Delete(1), EStringListError);
  EXPECT_THROW(list.Insert(2, "y"), EStringListError);
  list.Insert(1, "y");  // inserting at the end is allowed
  try {
    list.Put(5, "z");
    FAIL();
  } catch (const EStringListError& error) {
    EXPECT_EQ(error.Message(), "List index out of bounds (5)");
  }
}

TEST(StringsTest, CommaTextQuotesWhatWouldNotSurviveSplitting) {
  TStringList list;
  list.Add("plain");
  list.Add("two words");
  list.Add("say \"hi\"");
  list.Add("");
  list.Add("a,b");
  std::string text = list.CommaText();
  EXPECT_EQ(text, "plain,\"two words\",\"say \"\"hi\"\"\",\"\",\"a,b\"");
  TStringList back;
  back.SetCommaText(text);
  EXPECT_TRUE(back.Equals(list));

  back.SetCommaText(" a  b ,c,");
  EXPECT_EQ(Lines(back), (L{"a", "b", "c", ""}));
  back.SetCommaText("");
  EXPECT_EQ(back.Count(), 0);
}

TEST(StringsTest, SortedListsKeepOrderAndHandleDuplicates) {
  TStringList list;
  list.SetSorted(true);
  list.Add("delta");
  list.Add("Alpha");
  list.Add("charlie");
  EXPECT_EQ(Lines(list), (L{"Alpha", "charlie", "delta"}));
  EXPECT_EQ(list.Add("ALPHA"), 0);  // duplicates are ignored by default
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.IndexOf("CHARLIE"), 1);
  EXPECT_THROW(list.Insert(0, "x"), EStringListError);
  EXPECT_THROW(list.Put(0, "x"), EStringListError);

  list.SetDuplicates(Duplicates::kError);
  EXPECT_THROW(list.Add("delta"), EStringListError);
  list.SetDuplicates(Duplicates::kAccept);
  TObject marker;
  EXPECT_EQ(list.AddObject("alpha", &marker), 1);  // after the equal line already there
  EXPECT_EQ(list.Objects(1), &marker);

  int index = -1;
  EXPECT_FALSE(list.Find("bravo", index));
  EXPECT_EQ(index, 2);
}

TEST(StringsTest, EveryChangeNotifiesOnceAndUpdatesNotifyAtTheEnd) {
  TStringList list;
  std::vector<std::string> events;
  list.SetOnChanging([&](TStringList& sender) { events.push_back("changing:" + sender.Text()); });
  list.SetOnChange([&](TStringList& sender) { events.push_back("change:" + sender.Text()); });

  list.Add("a");
  EXPECT_EQ(events, (L{"changing:", "change:a\r\n"}));

  events.clear();
  list.SetText("x\ny\nz");  // a bulk change sends one pair
  EXPECT_EQ(events, (L{"changing:a\r\n", "change:x\r\ny\r\nz\r\n"}));

  events.clear();
  list.BeginUpdate();
  list.BeginUpdate();
  list.Delete(0);
  list.Put(0, "Y");
  list.EndUpdate();
  EXPECT_TRUE(events.size() == 1 && events[0] == "changing:x\r\ny\r\nz\r\n");
  list.EndUpdate();
  EXPECT_EQ(events.back(), "change:Y\r\nz\r\n");
  EXPECT_EQ(events.size(), 2u);

  events.clear();
  list.BeginUpdate();
  list.EndUpdate();
  TStringList empty;
  empty.SetOnChange([&](TStringList&) { events.push_back("empty changed"); });
  empty.Clear();
  empty.Assign(TStringList());
  EXPECT_TRUE(events.empty());  // no change, no notification
}

TEST(StringsTest, AssignAndCopyTakeLinesButNotHooks) {
  int changes = 0;
  TStringList source;
  source.SetOnChange([&](TStringList&) { ++changes; });
  source.SetText("one\ntwo");
  changes = 0;

  TStringList copy(source);
  copy.Add("three");
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(Lines(copy), (L{"one", "two", "three"}));

  source = copy;
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(source.Equals(copy));
  source.AddStrings(source);  // adding itself doubles it once
  EXPECT_EQ(source.Count(), 6);
}

}  // namespace
}  // namespace lumo
