// Inserting runs of new elements at several sorted places of a vector in
// one pass, moving every old element once: the line store takes a step's
// batch of inserts this way, and the report recorder the same lines'
// origins. The counterpart of index_erase.h.
#ifndef CNV_ENGINE_INDEX_INSERT_H_
#define CNV_ENGINE_INDEX_INSERT_H_

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

// `count` new elements in front of the element at `before` (the vector's
// size or more: at the end), an index of the vector as it was.
struct IndexRun {
  std::size_t before = 0;
  std::size_t count = 0;
};

// Inserts every run of `runs` (ascending in `before`; runs with the same
// place follow one another in list order). The i-th new element of run r
// is newItem(r, i).
template <typename T, typename NewItem>
void InsertRuns(std::vector<T>& items, const std::vector<IndexRun>& runs, NewItem newItem) {
  std::size_t added = 0;
  for (const IndexRun& run : runs) added += run.count;
  if (added == 0) return;
  const std::size_t old = items.size();
  items.resize(old + added);
  // From the back: each old element moves once, to its final place.
  std::size_t to = old + added;
  std::size_t from = old;
  for (std::size_t r = runs.size(); r-- > 0;) {
    const std::size_t before = std::min(runs[r].before, old);
    while (from > before) items[--to] = std::move(items[--from]);
    for (std::size_t i = runs[r].count; i-- > 0;) items[--to] = newItem(r, i);
  }
}

#endif  // CNV_ENGINE_INDEX_INSERT_H_
