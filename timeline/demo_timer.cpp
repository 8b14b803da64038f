#include "timeline/demo_timer.h"

#include "platform/platform.h"

static const double kTickToSeconds = static_cast<double>(0.001f);

double TickSeconds() { return static_cast<double>(PlatformTicks()) * kTickToSeconds; }

DemoTimer::DemoTimer(float durationSeconds)
    : start(static_cast<float>(TickSeconds())), elapsed(0), duration(durationSeconds) {}

bool DemoTimer::Update() {
  elapsed = static_cast<float>(TickSeconds() - static_cast<double>(start));
  return elapsed <= duration;
}
