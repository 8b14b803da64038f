// tools/render/bench_stats.h - the figures of `--bench`.
//
// Owns: frame times per scene and for the whole run, their summaries (frames, median,
// 95th and 99th percentile, maximum, median frames per second), the loading time by
// group (fed by the loading's marks, timeline/load_timing.h), the floor frames, and the
// report as text and as JSON. Times are real wall-clock milliseconds: the show's own
// clock is virtual during a benchmark and says nothing about speed.
// Called by: tools/render/capture.cpp (frames), main.cpp (scenes, floor, report), tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct FrameSummary {
  long frames = 0;
  double medianMs = 0, p95Ms = 0, p99Ms = 0, maxMs = 0, medianFps = 0;
};

// Nearest-rank percentiles of the times (their order does not matter).
FrameSummary Summarise(std::vector<double> times);

struct BenchReport {
  std::vector<std::pair<std::string, std::vector<double>>> scenes;  // in play order
  std::vector<double> show;  // every frame of the run, loading screen included
  std::vector<std::pair<std::string, double>> loadingGroups;  // ms, in first-seen order
  double loadingTotalMs = 0;  // begin to end, without the loading screen's steps
  bool loadingSeen = false;
  double clearMs = 0, quadMs = 0;  // the floor: medians of the two floor frames

  void AddLoading(const std::string& group, double ms);
  std::string Text() const;
  std::string Json() const;
};

// Measures the installed loading hook's marks (timeline/load_timing.h) into `report`.
void StartLoadingTimes(BenchReport* report);
void StopLoadingTimes();

// Now, in milliseconds of the real clock.
double WallMs();
