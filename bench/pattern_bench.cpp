// Pattern engine micro-benchmarks: the patterns the conversion runs most
// often, on the inputs they meet, and a global search over a large text.
#include <benchmark/benchmark.h>

#include <iterator>
#include <string>

#include "pattern/regex.h"

namespace norvelle {
namespace {

const char kCommandPattern[] = "|%+0{%+0j%e%[,%(%p|%)%]%}|%{%/0j%}";
const char kKeyPattern[] = "%/0w%{%+j%e=%}%{%+0j%P\n%}";

// About `size` bytes of document-like text: words, numbers, Japanese
// characters (some with trail bytes 0x5C and 0x7C), punctuation, newlines.
std::string MixedText(std::size_t size) {
  static const char* const kPieces[] = {
      "the ",   "quick ", "brown ",         "fox ",         "2024 ", "jumps ", "\x93\xFA\x96\x7B ",
      "over ",  "42, ",   "\x83\x5C\x83\x74\x83\x67 ", "lazy ", "dog. ", "\x83\x7C\x83\x43 ",
      "7\n",    "|b|",    "page ",          "x=1;\n",      "html ", "3.14 ", "text\t"};
  std::string s;
  s.reserve(size + 32);
  for (unsigned i = 0; s.size() < size; i = i * 7 + 3) s += kPieces[i % std::size(kPieces)];
  return s;
}

void BM_CommandLine(benchmark::State& state) {
  const CStrRegexStruct tree = RegexCompile(kCommandPattern);
  CStr line("|b,center,font=face=Arial|Welcome to the page");
  CStrHitList hits;
  for (auto _ : state) {
    benchmark::DoNotOptimize(RegexMatch(line, tree, "s", &hits));
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * line.length());
}
BENCHMARK(BM_CommandLine);

// A line without commands: the pattern fails at its first byte.
void BM_PlainLine(benchmark::State& state) {
  const CStrRegexStruct tree = RegexCompile(kCommandPattern);
  CStr line("An ordinary line of text without any markup commands.");
  CStrHitList hits;
  for (auto _ : state) {
    benchmark::DoNotOptimize(RegexMatch(line, tree, "s", &hits));
  }
}
BENCHMARK(BM_PlainLine);

void BM_KeyLine(benchmark::State& state) {
  const CStrRegexStruct tree = RegexCompile(kKeyPattern);
  CStr line("SrcColorKeyword=0000ff\n");
  CStrHitList hits;
  for (auto _ : state) {
    benchmark::DoNotOptimize(RegexMatch(line, tree, "s", &hits));
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * line.length());
}
BENCHMARK(BM_KeyLine);

// The one-call form compiles the pattern every time.
void BM_KeyLineWithPatternText(benchmark::State& state) {
  CStr line("SrcColorKeyword=0000ff\n");
  CStrHitList hits;
  for (auto _ : state) {
    benchmark::DoNotOptimize(RegexMatch(line, kKeyPattern, "s", &hits));
  }
}
BENCHMARK(BM_KeyLineWithPatternText);

void BM_GlobalSearch1MB(benchmark::State& state) {
  const std::string text = MixedText(1 << 20);
  const CStrRegexStruct tree = RegexCompile("%{%/1d%}");
  CStrHitList hits;
  CStrPositionList positions;
  int found = 0;
  for (auto _ : state) {
    found = RegexSearch(text, tree, "g", &hits, nullptr, &positions);
    benchmark::DoNotOptimize(found);
  }
  state.counters["matches"] = found;
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}
BENCHMARK(BM_GlobalSearch1MB)->Unit(benchmark::kMillisecond);

// Global replacement in place, as an auto-replace pattern over a paragraph.
void BM_GlobalReplace1MB(benchmark::State& state) {
  const std::string text = MixedText(1 << 20);
  const CStrRegexStruct tree = RegexCompile("%{%l%/0s%}");
  CStr subject;
  for (auto _ : state) {
    state.PauseTiming();
    subject.Assign(text.data(), text.size());
    state.ResumeTiming();
    benchmark::DoNotOptimize(RegexMatch(subject, tree, "g", nullptr, "<%0v>"));
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}
BENCHMARK(BM_GlobalReplace1MB)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace norvelle

BENCHMARK_MAIN();
