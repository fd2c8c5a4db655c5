// Counts the heap memory a benchmark holds, through replacements of the
// global allocation operators, so that a benchmark can report its peak.
#ifndef CNV_BENCH_HEAP_COUNTER_H_
#define CNV_BENCH_HEAP_COUNTER_H_

#include <cstddef>

// Bytes held by operator new right now.
size_t HeapInUse();
// Highest HeapInUse() since the last ResetHeapPeak().
size_t HeapPeak();
// Starts a new peak from what is held now.
void ResetHeapPeak();

#endif  // CNV_BENCH_HEAP_COUNTER_H_
