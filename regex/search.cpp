// The searcher: a pattern's program with its hints, matched with every
// check in the order that costs least, and the process-wide cache that
// builds each pattern's program once.
#include "regex/search.h"

#include <functional>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "regex/linear_runner.h"

SearchProgram::SearchProgram(std::u16string_view pattern) : runnable_(false), accelerate_(true) {
  pattern_.Compile(pattern);
  runnable_ = IsRunnableProgram(pattern_);
  if (runnable_) hints_ = AnalyzeProgram(pattern_);
  screened_ = runnable_ && !hints_.required.empty();
}

SearchProgram::SearchProgram(CompiledPattern pattern, bool accelerate)
    : pattern_(std::move(pattern)),
      runnable_(IsRunnableProgram(pattern_)),
      accelerate_(accelerate) {
  if (runnable_ && accelerate_) hints_ = AnalyzeProgram(pattern_);
  screened_ = runnable_ && accelerate_ && !hints_.required.empty();
}

bool SearchProgram::MatchAll(std::u16string_view text, MatchState& state) const {
  if (!runnable_ || text.size() > kMaxScreened) return false;
  if (!accelerate_) return RunProgram(pattern_, text, state, nullptr);
  // The required literals first, before anything else is looked at. Where
  // the check finds the prefix is where the search for the first start goes
  // on.
  const int32_t len = static_cast<int32_t>(text.size());
  int32_t from = 0;
  for (size_t k = 0; k < hints_.required.size(); ++k) {
    const int32_t at = FindLiteral(hints_.required[k], text.data(), len, 0);
    if (at < 0) return false;
    if (static_cast<int32_t>(k) == hints_.prefixRequired) from = at;
  }
  const int32_t first = hints_.skipStarts ? NextStart(hints_, text.data(), len, from) : 0;
  if (hints_.skipStarts && first >= len) return false;
  if (hints_.linear.usable)
    return regex_internal::RunLinear(hints_, text.data(), len, first, state);
  return RunProgramFrom(pattern_, text, state, hints_, first);
}

PatternSearcher::PatternSearcher(const CompiledPattern& pattern, bool accelerate)
    : program_(std::make_shared<const SearchProgram>(pattern, accelerate)) {}

PatternSearcher::PatternSearcher(std::shared_ptr<const SearchProgram> program)
    : program_(std::move(program)) {}

namespace {

// Hashes pattern texts and views alike, so that a lookup copies nothing.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::u16string_view text) const {
    return std::hash<std::u16string_view>{}(text);
  }
};

// The programs SharedSearchProgram keeps, by pattern text.
struct ProgramCache {
  std::mutex mutex;
  std::unordered_map<std::u16string, std::shared_ptr<const SearchProgram>, TextHash,
                     std::equal_to<>>
      programs;
};

ProgramCache& SharedPrograms() {
  // Never destroyed: searches on other threads may still run at exit.
  static ProgramCache* cache = new ProgramCache;
  return *cache;
}

}  // namespace

std::shared_ptr<const SearchProgram> SharedSearchProgram(std::u16string_view pattern) {
  ProgramCache& cache = SharedPrograms();
  {
    const std::lock_guard<std::mutex> lock(cache.mutex);
    const auto found = cache.programs.find(pattern);
    if (found != cache.programs.end()) return found->second;
  }
  // Built without the lock, so that other searches go on meanwhile; when
  // another thread built the same one first, that one is kept.
  auto program = std::make_shared<const SearchProgram>(pattern);
  const std::lock_guard<std::mutex> lock(cache.mutex);
  const auto found = cache.programs.find(pattern);
  if (found != cache.programs.end()) return found->second;
  if (cache.programs.size() >= kMaxSharedPrograms) cache.programs.clear();
  return cache.programs.emplace(std::u16string(pattern), std::move(program)).first->second;
}

size_t SharedSearchProgramCount() {
  ProgramCache& cache = SharedPrograms();
  const std::lock_guard<std::mutex> lock(cache.mutex);
  return cache.programs.size();
}
