// plat::DString appends against std::string, the reference for growable text.
#include "plat/DString.h"

#include <benchmark/benchmark.h>

#include <string>

static void BM_DStringAppend(benchmark::State& state) {
  for (auto _ : state) {
    plat::DString s;
    for (int i = 0; i < state.range(0); i++)
      s.append("word ", 5);
    benchmark::DoNotOptimize(s.c_str());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DStringAppend)->Arg(1000)->Arg(100000);

static void BM_StdStringAppend(benchmark::State& state) {
  for (auto _ : state) {
    std::string s;
    for (int i = 0; i < state.range(0); i++)
      s.append("word ", 5);
    benchmark::DoNotOptimize(s.c_str());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StdStringAppend)->Arg(1000)->Arg(100000);

static void BM_DStringAppendFormat(benchmark::State& state) {
  for (auto _ : state) {
    plat::DString s;
    for (int i = 0; i < 1000; i++)
      s.appendFormat("%d,", i);
    benchmark::DoNotOptimize(s.c_str());
  }
}
BENCHMARK(BM_DStringAppendFormat);

static void BM_StdStringSnprintf(benchmark::State& state) {
  for (auto _ : state) {
    std::string s;
    char buf[16];
    for (int i = 0; i < 1000; i++) {
      int n = snprintf(buf, sizeof(buf), "%d,", i);
      s.append(buf, n);
    }
    benchmark::DoNotOptimize(s.c_str());
  }
}
BENCHMARK(BM_StdStringSnprintf);
