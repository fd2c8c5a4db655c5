#include "convert/filter_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

TEST(FilterListTest, LookupInEmptyListMissesAndKeepsOutput) {
  CFilterList list;
  std::u16string out = u"unchanged";
  EXPECT_EQ(FindFilterItem(list, u"1", out), 0);
  EXPECT_EQ(out, u"unchanged");
}

TEST(FilterListTest, KeysCompareAsWrittenWithoutNumericMeaning) {
  CFilterList list;
  AddFilterItem(list, u"1", u"10000");
  AddFilterItem(list, u"01", u"10001");
  AddFilterItem(list, u" 1", u"10002");
  AddFilterItem(list, u"\t1", u"10003");
  struct Case {
    std::u16string key;
    int found;
    std::u16string expected;
  };
  const std::vector<Case> cases = {
      {u"1", 1, u"10000"},   {u"01", 1, u"10001"}, {u" 1", 1, u"10002"},
      {u"\t1", 1, u"10003"}, {u"001", 0, u"-"},    {u"1 ", 0, u"-"},
  };
  for (const Case& c : cases) {
    std::u16string out = u"-";
    EXPECT_EQ(FindFilterItem(list, c.key, out), c.found);
    EXPECT_EQ(out, c.expected);
  }
}

TEST(FilterListTest, TraversalFollowsInsertionOrderAndLookupTakesFirstHit) {
  CFilterList list;
  AddFilterItem(list, u"5", u"a");
  AddFilterItem(list, u"2", u"b");
  AddFilterItem(list, u"5", u"c");  // no duplicate check on adding
  std::vector<std::u16string> seen;
  for (const CFilterItem& item : list) seen.push_back(item.m_oldNumber + u"=" + item.m_newNumber);
  EXPECT_EQ(seen, (std::vector<std::u16string>{u"5=a", u"2=b", u"5=c"}));
  std::u16string out;
  ASSERT_EQ(FindFilterItem(list, u"5", out), 1);
  EXPECT_EQ(out, u"a");
}

// Counts its destructions, to show that the list deletes what it owns.
class CountedItem : public CFilterItem {
 public:
  explicit CountedItem(int& destroyed) : CFilterItem(u"1", u"2"), destroyed_(destroyed) {}
  ~CountedItem() override { ++destroyed_; }

 private:
  int& destroyed_;
};

TEST(FilterListTest, DestroysEveryItemWithTheList) {
  int destroyed = 0;
  {
    CFilterList list;
    list.Append(std::make_unique<CountedItem>(destroyed));
    list.Append(std::make_unique<CountedItem>(destroyed));
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 2);
}

}  // namespace
