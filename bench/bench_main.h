// What every benchmark executable shares: the --smoke switch (a tiny duration, so a test run
// proves the benchmark still works in a second or two) and the label that tells scripts/bench
// which row a figure is compared with and what it should reach.
#pragma once

#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>
#include <string>
#include <string_view>

namespace rpn::bench {

struct Options {
  bool smoke = false;
};

// Removes --smoke from the arguments and reports whether it was there.
inline Options takeOptions(int& argc, char** argv) {
  Options options;
  int kept = 0;
  for (int i = 0; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--smoke")
      options.smoke = true;
    else
      argv[kept++] = argv[i];
  }
  argc = kept;
  return options;
}

// The label of a row: its unit, the row it is divided by (empty for a baseline) and its goal,
// e.g. "ratio>=0.95" or "ms<20". scripts/bench reads these three fields.
inline std::string rowLabel(std::string_view unit, std::string_view baseline,
                            std::string_view goal = {}) {
  return "unit=" + std::string(unit) + ";baseline=" + std::string(baseline) +
         ";goal=" + std::string(goal);
}

// Sets the figure of a row (one counter per row, named "figure").
inline void report(benchmark::State& state, double figure, const std::string& label) {
  state.counters["figure"] = figure;
  state.SetLabel(label);
}

inline double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// CPU time of the calling thread: what a computation costs, whatever else the machine runs.
// The rows that only compute (emulator, long inputs) are timed with it; the rows about time
// itself (ticks, processes started) with the wall clock.
inline double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

} // namespace rpn::bench
