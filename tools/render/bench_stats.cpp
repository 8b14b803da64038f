// tools/render/bench_stats.cpp - summaries, loading groups and the report.
#include "tools/render/bench_stats.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "timeline/load_timing.h"

double WallMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

FrameSummary Summarise(std::vector<double> times) {
  FrameSummary s;
  s.frames = (long)times.size();
  if (times.empty()) return s;
  std::sort(times.begin(), times.end());
  auto rank = [&](double p) {
    size_t n = times.size();
    size_t r = (size_t)std::ceil(p / 100.0 * (double)n);
    return times[std::clamp<size_t>(r, 1, n) - 1];
  };
  s.medianMs = rank(50);
  s.p95Ms = rank(95);
  s.p99Ms = rank(99);
  s.maxMs = times.back();
  s.medianFps = s.medianMs > 0 ? 1000.0 / s.medianMs : 0;
  return s;
}

void BenchReport::AddLoading(const std::string& group, double ms) {
  for (auto& g : loadingGroups)
    if (g.first == group) {
      g.second += ms;
      return;
    }
  loadingGroups.push_back({group, ms});
}

namespace {
std::string Line(const std::string& name, const FrameSummary& s) {
  char text[256];
  snprintf(text, sizeof text, "%-14s %7ld %9.2f %9.2f %9.2f %9.2f %9.1f\n", name.c_str(),
           s.frames, s.medianMs, s.p95Ms, s.p99Ms, s.maxMs, s.medianFps);
  return text;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if ((unsigned char)c < 0x20) continue;
    out += c;
  }
  return out + "\"";
}

std::string JsonNumber(double v) {
  char text[64];
  snprintf(text, sizeof text, "%.3f", std::isfinite(v) ? v : 0.0);
  return text;
}

std::string JsonSummary(const FrameSummary& s) {
  return "\"frames\": " + std::to_string(s.frames) + ", \"median_ms\": " + JsonNumber(s.medianMs) +
         ", \"p95_ms\": " + JsonNumber(s.p95Ms) + ", \"p99_ms\": " + JsonNumber(s.p99Ms) +
         ", \"max_ms\": " + JsonNumber(s.maxMs) + ", \"median_fps\": " + JsonNumber(s.medianFps);
}
}  // namespace

std::string BenchReport::Text() const {
  std::string out = "scene           frames  median_ms    p95_ms    p99_ms    max_ms  median_fps\n";
  for (const auto& scene : scenes) out += Line(scene.first, Summarise(scene.second));
  out += Line("show", Summarise(show));
  char text[256];
  if (loadingSeen) {
    snprintf(text, sizeof text, "loading        %9.1f ms without the loading screen's steps\n",
             loadingTotalMs);
    out += text;
    for (const auto& g : loadingGroups) {
      snprintf(text, sizeof text, "  %-22s %9.1f ms\n", g.first.c_str(), g.second);
      out += text;
    }
  } else {
    out += "loading        no loading marks seen\n";
  }
  snprintf(text, sizeof text, "floor          clear %.2f ms, full-screen textured quad %.2f ms\n",
           clearMs, quadMs);
  return out + text;
}

std::string BenchReport::Json() const {
  std::string out = "{\n  \"scenes\": [";
  for (size_t i = 0; i < scenes.size(); i++)
    out += std::string(i ? ",\n" : "\n") + "    {\"name\": " + JsonString(scenes[i].first) +
           ", " + JsonSummary(Summarise(scenes[i].second)) + "}";
  out += "\n  ],\n  \"show\": {" + JsonSummary(Summarise(show)) + "},\n";
  out += "  \"loading\": {\"total_ms\": " + JsonNumber(loadingTotalMs) + ", \"groups\": {";
  for (size_t i = 0; i < loadingGroups.size(); i++)
    out += std::string(i ? ", " : "") + JsonString(loadingGroups[i].first) + ": " +
           JsonNumber(loadingGroups[i].second);
  out += "}},\n  \"floor\": {\"clear_ms\": " + JsonNumber(clearMs) +
         ", \"quad_ms\": " + JsonNumber(quadMs) + "}\n}\n";
  return out;
}

namespace {
struct LoadingClock {
  BenchReport* report = nullptr;
  double begin = 0, last = 0, screenMs = 0;
} loadingClock;

void OnLoadingMark(LoadTimingEvent event, const char* group, void*) {
  LoadingClock& c = loadingClock;
  double now = WallMs();
  switch (event) {
    case LoadTimingBegan:
      c.begin = c.last = now;
      c.screenMs = 0;
      break;
    case LoadTimingMarked: {
      std::string name = group;
      c.report->AddLoading(name, now - c.last);
      if (name == "loading screen") c.screenMs += now - c.last;
      c.last = now;
      break;
    }
    case LoadTimingEnded:
      if (now - c.last > 0.5) c.report->AddLoading("other", now - c.last);
      c.report->loadingTotalMs = now - c.begin - c.screenMs;
      c.report->loadingSeen = true;
      break;
  }
}
}  // namespace

void StartLoadingTimes(BenchReport* report) {
  loadingClock.report = report;
  SetLoadTimingHook(OnLoadingMark, nullptr);
}
void StopLoadingTimes() { SetLoadTimingHook(nullptr, nullptr); }
