// The destination history: what a run reads, how a used folder moves,
// what is evicted, and what the next run finds.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "tool/dest_history.h"

namespace pvx {
namespace {

// The registry section "Destinations" as a map; writes are logged in order.
class MapStore : public DestStore {
 public:
  bool ReadFolder(int k, char* out, size_t cap) override {
    auto it = values.find(k);
    if (it == values.end() || !StrCopy(out, cap, it->second.c_str())) {
      if (cap) out[0] = 0;
      return false;
    }
    return true;
  }
  void WriteFolder(int k, const char* text) override {
    values[k] = text;
    writes.emplace_back(k, text);
  }
  std::map<int, std::string> values;
  std::vector<std::pair<int, std::string>> writes;
};

std::vector<std::string> Entries(const DestHistory& h) {
  std::vector<std::string> all;
  for (int i = 0; i < h.Count(); ++i) all.push_back(h.At(i));
  return all;
}

using List = std::vector<std::string>;

// Seven remembered folders F1..F7 behind the fixed entry.
DestHistory FullHistory(MapStore* store) {
  for (int k = 1; k <= 7; ++k) store->values[k] = "C:\\F" + std::to_string(k);
  DestHistory h;
  EXPECT_EQ(7, h.Load(*store));
  return h;
}

TEST(DestHistory, FirstStartHasOnlyTheFixedEntryAndSavesIt) {
  MapStore store;
  DestHistory h;
  EXPECT_EQ(0, h.Load(store));
  EXPECT_EQ(List{"(Same Folder)"}, Entries(h));
  int sel = 0;
  h.Save(store, &sel);
  EXPECT_EQ(0, sel);
  ASSERT_EQ(1u, store.writes.size());
  EXPECT_EQ(std::make_pair(0, std::string("(Same Folder)")), store.writes[0]);
}

TEST(DestHistory, LoadStopsAtTheFirstGapAndNeverReadsFolder0) {
  MapStore store;
  store.values = {{0, "junk"}, {1, "D:\\a"}, {2, " D:\\b "}, {3, "D:\\a"},
                  {4, ""}, {5, "D:\\e"}};
  DestHistory h;
  EXPECT_EQ(3, h.Load(store));
  // As stored: not trimmed, duplicates kept.
  EXPECT_EQ((List{"(Same Folder)", "D:\\a", " D:\\b ", "D:\\a"}), Entries(h));

  store.values.erase(4);  // a missing value ends the list the same way
  DestHistory again;
  EXPECT_EQ(3, again.Load(store));
}

TEST(DestHistory, NewFolderGoesToTheEndAndUsedFolderMovesThere) {
  MapStore store;
  store.values = {{1, "D:\\a"}, {2, "D:\\b"}, {3, "D:\\c"}};
  DestHistory h;
  h.Load(store);
  EXPECT_EQ(-1, h.Remember("D:\\new", -1));
  EXPECT_EQ((List{"(Same Folder)", "D:\\a", "D:\\b", "D:\\c", "D:\\new"}),
            Entries(h));
  EXPECT_EQ(2, h.Remember("D:\\b", 2));
  EXPECT_EQ((List{"(Same Folder)", "D:\\a", "D:\\c", "D:\\new", "D:\\b"}),
            Entries(h));
  // The last entry used again stays where it is.
  EXPECT_EQ(4, h.Remember("D:\\b", 4));
  EXPECT_EQ(5, h.Count());
}

TEST(DestHistory, FullListEvictsTheOldestFolderNotTheFixedEntry) {
  MapStore store;
  DestHistory h = FullHistory(&store);
  EXPECT_EQ(1, h.Remember("C:\\new", -1));
  EXPECT_EQ((List{"(Same Folder)", "C:\\F2", "C:\\F3", "C:\\F4", "C:\\F5",
                  "C:\\F6", "C:\\F7", "C:\\new"}),
            Entries(h));
  // Reusing one of a full list evicts nothing.
  EXPECT_EQ(3, h.Remember("C:\\F4", 3));
  EXPECT_EQ(8, h.Count());
  EXPECT_EQ("C:\\F4", std::string(h.At(7)));
  EXPECT_EQ("C:\\F5", std::string(h.At(3)));
}

// Which entry equals the text ignoring case is the system's to say (the
// list control's exact search, checked under Wine in tool_history.sh); the
// entry it names gives way to the text as typed.
TEST(DestHistory, EntryFoundEqualGivesWayToTheTextAsTyped) {
  MapStore store;
  store.values = {{1, "D:\\out"}, {2, "E:\\x"}};
  DestHistory h;
  h.Load(store);
  EXPECT_EQ(-1, h.Remember("D:\\out\\", -1));
  EXPECT_EQ(1, h.Remember("d:\\OUT", 1));
  EXPECT_EQ((List{"(Same Folder)", "E:\\x", "D:\\out\\", "d:\\OUT"}),
            Entries(h));
  // A position the list does not hold is no match.
  EXPECT_EQ(-1, h.Remember("F:\\y", 9));
  EXPECT_EQ(5, h.Count());
}

TEST(DestHistory, FixedEntryStaysFirstWhenItsTextIsTypedAsAFolder) {
  MapStore store;
  DestHistory h = FullHistory(&store);
  // The list control finds only the fixed entry: that is no match.
  EXPECT_EQ(1, h.Remember("(same folder)", 0));
  EXPECT_STREQ("(Same Folder)", h.At(0));
  EXPECT_STREQ("(same folder)", h.At(7));
  int sel = -1;
  h.Save(store, &sel);
  EXPECT_EQ("(Same Folder)", store.values[0]);
}

TEST(DestHistory, SaveWritesInOrderResolvesMinusOneAndLeavesLaterValues) {
  MapStore store;
  store.values = {{1, "D:\\a"}, {2, "D:\\b"}, {3, ""}, {4, "D:\\old"}};
  DestHistory h;
  h.Load(store);
  h.Remember("D:\\a", 1);
  int sel = -1;
  h.Save(store, &sel);
  EXPECT_EQ(2, sel);
  std::vector<std::pair<int, std::string>> want = {
      {0, "(Same Folder)"}, {1, "D:\\b"}, {2, "D:\\a"}};
  EXPECT_EQ(want, store.writes);
  EXPECT_EQ("", store.values[3]);
  EXPECT_EQ("D:\\old", store.values[4]);

  // A remembered selection other than -1 is kept as it is, even though the
  // entries have moved.
  int kept = 1;
  h.Save(store, &kept);
  EXPECT_EQ(1, kept);
}

TEST(DestHistory, NextRunFindsWhatThisRunSaved) {
  MapStore store;
  DestHistory first = FullHistory(&store);
  first.Remember("C:\\F3", 3);
  first.Remember("C:\\new", -1);
  int sel = -1;
  first.Save(store, &sel);
  EXPECT_EQ(7, sel);

  DestHistory second;
  second.Load(store);
  EXPECT_EQ(Entries(first), Entries(second));
  EXPECT_STREQ("C:\\new", second.At(sel));
}

TEST(SlashesToBackslashes, EverySlashSeparatesFolders) {
  char buf[64];
  StrCopy(buf, sizeof buf, "C:/in/sub\\表/report.txt");
  SlashesToBackslashes(buf);
  EXPECT_STREQ("C:\\in\\sub\\表\\report.txt", buf);
  StrCopy(buf, sizeof buf, "//server/share/");
  SlashesToBackslashes(buf);
  EXPECT_STREQ("\\\\server\\share\\", buf);
}

TEST(TrimBlanks, RemovesWhiteSpaceAtBothEndsOnly) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"  D:\\out \t", "D:\\out"},
      {"\r\n\v\fx y\f", "x y"},
      {"   ", ""},
      {"", ""},
      {"\xE3\x80\x80全角\xE3\x80\x80", "\xE3\x80\x80全角\xE3\x80\x80"},
  };
  for (const Case& c : cases) {
    char buf[64];
    StrCopy(buf, sizeof buf, c.in);
    TrimBlanks(buf);
    EXPECT_STREQ(c.out, buf) << "[" << c.in << "]";
  }
}

}  // namespace
}  // namespace pvx
