#include "bench/heap_counter.h"

#include <malloc.h>

#include <cstdlib>
#include <new>

namespace {

// Single-threaded benchmarks: plain counters suffice.
size_t g_inUse = 0;
size_t g_peak = 0;

void* Allocate(size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  g_inUse += malloc_usable_size(p);
  if (g_inUse > g_peak) g_peak = g_inUse;
  return p;
}

void Release(void* p) {
  if (p == nullptr) return;
  g_inUse -= malloc_usable_size(p);
  std::free(p);
}

}  // namespace

size_t HeapInUse() {
  return g_inUse;
}
size_t HeapPeak() {
  return g_peak;
}
void ResetHeapPeak() {
  g_peak = g_inUse;
}

void* operator new(size_t size) {
  return Allocate(size);
}
void* operator new[](size_t size) {
  return Allocate(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept {
  Release(p);
}
void operator delete[](void* p) noexcept {
  Release(p);
}
void operator delete(void* p, size_t) noexcept {
  Release(p);
}
void operator delete[](void* p, size_t) noexcept {
  Release(p);
}
