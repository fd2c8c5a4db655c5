#include "convert/filter_list.h"

void AddFilterItem(CFilterList& list, std::u16string_view oldNumber,
                   std::u16string_view newNumber) {
  list.Append(std::make_unique<CFilterItem>(oldNumber, newNumber));
}

int FindFilterItem(const CFilterList& list, std::u16string_view oldNumber,
                   std::u16string& newNumber) {
  const CFilterItem* item = list.First(oldNumber);
  if (item == nullptr) return 0;
  newNumber = item->m_newNumber;
  return 1;
}
