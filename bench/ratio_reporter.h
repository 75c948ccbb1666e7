#pragma once
// A console reporter that keeps each benchmark's time, so that a program can print how one of its
// benchmarks compares with the reference it ran beside it.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace corvane::bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration)
        times_[run.run_name.function_name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
    }
  }

  // "ours / reference = 1.23x real time, 1.10x CPU time" and `note`; nothing when either did
  // not run.
  void PrintRatio(const char* ours, const char* reference, const char* note = "") const {
    const auto a = times_.find(ours);
    const auto b = times_.find(reference);
    if (a == times_.end() || b == times_.end() || b->second.real <= 0 || b->second.cpu <= 0) {
      return;
    }
    std::printf("%s / %s = %.2fx real time, %.2fx CPU time%s\n", ours, reference,
                a->second.real / b->second.real, a->second.cpu / b->second.cpu, note);
  }

 private:
  struct Times {
    double real;
    double cpu;
  };
  std::map<std::string, Times> times_;
};

}  // namespace corvane::bench
