// timeline/demo_timer.h - the clock of every timed stage.
//
// A DemoTimer measures one stage (a scene, a loading step, the wait after loading) from
// the platform's tick count. Seconds are the tick count times the 32-bit float nearest to
// 0.001; products are formed in double precision and reduced to 32 bits only when stored.
#pragma once

struct DemoTimer {
  float start = 0;     // tick count at creation, in seconds
  float elapsed = 0;   // seconds since start as of the last Update; 0 before the first
  float duration = 0;  // the stage runs while elapsed <= duration

  explicit DemoTimer(float durationSeconds);
  // Refreshes elapsed; true while elapsed <= duration (the end is inclusive).
  bool Update();
};

// The tick count in seconds, formed as the timers form it (double precision).
double TickSeconds();
