// The line search: FindLines with every pattern the converters use over a
// generated 5,000-line configuration, and the same search (compile, run over
// every line, collect the same match records) done with std::regex, PCRE2's
// interpreter, PCRE2's JIT and RE2 using equivalent patterns.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>
#include <re2/re2.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "bench/search_patterns.h"
#include "convert/cnv_gui.h"
#include "engine/line_ops.h"
#include "engine/strutil.h"

namespace {

// The configuration every search runs over, in the forms the engines take:
// UTF-16 line parts for FindLines and PCRE2 (16-bit), UTF-8 copies for
// std::regex and RE2 (the generated text is ASCII, so positions agree).
struct Corpus {
  CCnvGUI store;
  std::vector<std::string> cmd8;
  std::vector<std::string> comment8;
};

const Corpus& SearchCorpus() {
  static const Corpus* corpus = [] {
    auto* c = new Corpus;
    const std::string path = std::string(CNV_BENCH_DATA) + "/tftp-5000.txt";
    if (c->store.Load(path) != 1) {
      fprintf(stderr, "cannot read %s\n", path.c_str());
      exit(2);
    }
    for (int i = 0; i < c->store.LineCount(); ++i) {
      c->cmd8.push_back(Utf16ToUtf8(c->store.CmdLines()[static_cast<size_t>(i)]));
      c->comment8.push_back(Utf16ToUtf8(c->store.CommentLines()[static_cast<size_t>(i)]));
    }
    return c;
  }();
  return *corpus;
}

// One search as FindLines does it: over every line's command part (and
// comment part), a record for the first group of each match.
template <typename MatchFn>
void CollectRecords(const Corpus& c, bool includeComments, CCnvMatchList& list, MatchFn&& match) {
  list.clear();
  const CCnvBase& s = c.store;
  for (size_t i = 0; i < s.CmdLines().size(); ++i) {
    int start = 0, end = 0;
    if (match(s.CmdLines()[i], c.cmd8[i], start, end)) {
      list.emplace_back(static_cast<int32_t>(i), s.CmdLines()[i], start, end, 0);
    }
    if (includeComments && match(s.CommentLines()[i], c.comment8[i], start, end)) {
      list.emplace_back(static_cast<int32_t>(i), s.CommentLines()[i], start, end, 1);
    }
  }
}

bool SameRecords(const CCnvMatchList& a, const CCnvMatchList& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].m_line != b[i].m_line || a[i].m_start != b[i].m_start || a[i].m_end != b[i].m_end ||
        a[i].m_inComment != b[i].m_inComment || a[i].m_text != b[i].m_text) {
      return false;
    }
  }
  return true;
}

CCnvMatchList Reference(const SearchPattern& p) {
  Corpus& c = const_cast<Corpus&>(SearchCorpus());
  CCnvMatchList list;
  FindLines(c.store, p.ours, list, 0, -1, p.includeComments ? 1 : 0);
  return list;
}

void Finish(benchmark::State& state, const Corpus& c, const CCnvMatchList& list) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(c.store.LineCount()));
  state.counters["records"] = static_cast<double>(list.size());
}

void BM_Ours(benchmark::State& state, SearchPattern p) {
  Corpus& c = const_cast<Corpus&>(SearchCorpus());
  CCnvMatchList list;
  for (auto _ : state) {
    FindLines(c.store, p.ours, list, 0, -1, p.includeComments ? 1 : 0);
    benchmark::DoNotOptimize(list.data());
  }
  if (c.store.m_error != 0) state.SkipWithError("FindLines set an error");
  Finish(state, c, list);
}

void BM_StdRegex(benchmark::State& state, SearchPattern p) {
  const Corpus& c = SearchCorpus();
  const std::string pattern = p.pcre.empty() ? ToPcreSyntax(p.ours) : p.pcre;
  CCnvMatchList list;
  auto search = [&] {
    const std::regex re(pattern, std::regex::ECMAScript);
    std::smatch m;
    CollectRecords(c, p.includeComments, list,
                   [&](const std::u16string&, const std::string& text, int& start, int& end) {
                     if (!std::regex_search(text, m, re) || !m[1].matched) return false;
                     start = static_cast<int>(m.position(1));
                     end = start + static_cast<int>(m.length(1));
                     return true;
                   });
  };
  search();
  if (!SameRecords(list, Reference(p))) state.SkipWithError("records differ from FindLines");
  for (auto _ : state) {
    search();
    benchmark::DoNotOptimize(list.data());
  }
  Finish(state, c, list);
}

void BM_Pcre2(benchmark::State& state, SearchPattern p, bool jit) {
  const Corpus& c = SearchCorpus();
  const std::string pattern8 = p.pcre.empty() ? ToPcreSyntax(p.ours) : p.pcre;
  const std::u16string pattern = Utf8ToUtf16(pattern8);
  CCnvMatchList list;
  bool ok = true;
  auto search = [&] {
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                     0, &error, &offset, nullptr);
    if (code == nullptr) {
      ok = false;
      return;
    }
    if (jit && pcre2_jit_compile(code, PCRE2_JIT_COMPLETE) != 0) ok = false;
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
    CollectRecords(c, p.includeComments, list,
                   [&](const std::u16string& text, const std::string&, int& start, int& end) {
                     const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()),
                                                text.size(), 0, 0, md, nullptr);
                     if (rc < 2) return false;
                     const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
                     if (ov[2] == PCRE2_UNSET) return false;
                     start = static_cast<int>(ov[2]);
                     end = static_cast<int>(ov[3]);
                     return true;
                   });
    pcre2_match_data_free(md);
    pcre2_code_free(code);
  };
  search();
  if (!ok) {
    state.SkipWithError(jit ? "PCRE2 JIT unavailable or pattern rejected" : "pattern rejected");
    return;
  }
  if (!SameRecords(list, Reference(p))) state.SkipWithError("records differ from FindLines");
  for (auto _ : state) {
    search();
    benchmark::DoNotOptimize(list.data());
  }
  Finish(state, c, list);
}

void BM_Re2(benchmark::State& state, SearchPattern p) {
  const Corpus& c = SearchCorpus();
  const std::string pattern =
      !p.re2.empty() ? p.re2 : (p.pcre.empty() ? ToPcreSyntax(p.ours) : p.pcre);
  CCnvMatchList list;
  bool ok = true;
  auto search = [&] {
    RE2::Options options;
    options.set_log_errors(false);
    const RE2 re(pattern, options);
    if (!re.ok()) {
      ok = false;
      return;
    }
    re2::StringPiece groups[2];
    CollectRecords(c, p.includeComments, list,
                   [&](const std::u16string&, const std::string& text, int& start, int& end) {
                     if (!re.Match(text, 0, text.size(), RE2::UNANCHORED, groups, 2) ||
                         groups[1].data() == nullptr) {
                       return false;
                     }
                     start = static_cast<int>(groups[1].data() - text.data());
                     end = start + static_cast<int>(groups[1].size());
                     return true;
                   });
  };
  search();
  if (!ok) {
    state.SkipWithError("pattern rejected");
    return;
  }
  if (!SameRecords(list, Reference(p))) state.SkipWithError("records differ from FindLines");
  for (auto _ : state) {
    search();
    benchmark::DoNotOptimize(list.data());
  }
  Finish(state, c, list);
}

// Registered as search/<pattern>/<engine>; bench/report turns them into
// the side-by-side table.
const bool kRegistered = [] {
  for (const SearchPattern& p : BenchPatterns()) {
    const std::string base = std::string("search/") + p.id + "/";
    benchmark::RegisterBenchmark((base + "findlines").c_str(), BM_Ours, p);
    benchmark::RegisterBenchmark((base + "std_regex").c_str(), BM_StdRegex, p);
    benchmark::RegisterBenchmark((base + "pcre2").c_str(), BM_Pcre2, p, false);
    benchmark::RegisterBenchmark((base + "pcre2_jit").c_str(), BM_Pcre2, p, true);
    benchmark::RegisterBenchmark((base + "re2").c_str(), BM_Re2, p);
  }
  return true;
}();

}  // namespace
