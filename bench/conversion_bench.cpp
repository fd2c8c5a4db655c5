// The whole conversion, as the front end runs it: the engine loads the file
// (trying the sectioned listing first), runs the five steps and saves, for
// generated configurations of 1,000, 10,000 and 100,000 lines in both
// shapes. Reports the time and the peak of the heap held meanwhile.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/heap_counter.h"
#include "engine/engine.h"
#include "engine/strutil.h"

namespace {

void BM_Convert(benchmark::State& state, std::string shape) {
  const std::string name = shape + "-" + std::to_string(state.range(0));
  const std::string input = std::string(CNV_BENCH_DATA) + "/" + name + ".txt";
  const std::string output = std::string(CNV_BENCH_DATA) + "/out-" + name + ".txt";
  size_t peak = 0;
  int lines = 0;
  for (auto _ : state) {
    const size_t before = HeapInUse();
    ResetHeapPeak();
    CCnvEngine engine(input);
    if (engine.converter() != nullptr) lines = engine.converter()->LineCount();
    const int result = engine.Convert(output);
    if (HeapPeak() - before > peak) peak = HeapPeak() - before;
    if (result != 1) {
      std::u16string message;
      engine.GetErrorMessage(message);
      state.SkipWithError(("conversion failed: " + Utf16ToUtf8(message)).c_str());
      break;
    }
  }
  state.counters["lines"] = lines;
  state.counters["peak_heap_MiB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * lines);
}

BENCHMARK_CAPTURE(BM_Convert, gui, std::string("gui"))
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Name("convert/gui");
BENCHMARK_CAPTURE(BM_Convert, tftp, std::string("tftp"))
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Name("convert/tftp");

}  // namespace
