// Removing the elements at a sorted list of indexes from a vector in one
// pass, moving every kept element once: the line store drops deleted lines
// this way, and the report recorder the same lines' origins.
#ifndef CNV_ENGINE_INDEX_ERASE_H_
#define CNV_ENGINE_INDEX_ERASE_H_

#include <cstddef>
#include <utility>
#include <vector>

// Removes items[i] for every i of `ascending` (ascending, distinct; indexes
// past the end are ignored), keeping the order of the others.
template <typename T>
void EraseIndexes(std::vector<T>& items, const std::vector<std::size_t>& ascending) {
  if (ascending.empty() || ascending.front() >= items.size()) return;
  std::size_t to = ascending.front();
  std::size_t next = 0;  // the next index to drop
  for (std::size_t from = to; from < items.size(); ++from) {
    if (next < ascending.size() && ascending[next] == from) {
      ++next;
      continue;
    }
    items[to++] = std::move(items[from]);
  }
  items.resize(to);
}

#endif  // CNV_ENGINE_INDEX_ERASE_H_
