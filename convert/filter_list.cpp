#include "convert/filter_list.h"

void AddFilterItem(CFilterList& list, std::u16string_view oldNumber,
                   std::u16string_view newNumber) {
  list.Append(std::make_unique<CFilterItem>(oldNumber, newNumber));
}

int FindFilterItem(const CFilterList& list, std::u16string_view oldNumber,
                   std::u16string& newNumber) {
  for (const CFilterItem& item : list) {
    if (item.m_oldNumber == oldNumber) {
      newNumber = item.m_newNumber;
      return 1;
    }
  }
  return 0;
}
