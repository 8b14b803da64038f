// timeline/scene_loop.h - the loop that every timed scene runs.
//
// Each pass: the timer is tested first (so no frame is drawn with elapsed past the
// duration), then EscapeRequested; then either one pending window message is dispatched
// (and nothing is drawn in that pass) or one frame is drawn between ClearFrame and
// EndFrame. The loop never sleeps and never limits the frame rate.
#pragma once

#include "timeline/demo_timer.h"

// Takes one pending message off the queue and dispatches it. False when none waited.
bool DispatchPendingMessage();

// Runs a stage of `duration` seconds. `draw(timer)` draws one frame with timer.elapsed as
// the time; ClearFrame and EndFrame surround it. Returns when the timer has run out or
// EscapeRequested is set. The scene's own set-up happens before the call.
template <typename DrawFrame>
void RunSceneLoop(float duration, DrawFrame&& draw);

// ---------------------------------------------------------------------------------------
#include "app/window.h"
#include "timeline/frame_services.h"

template <typename DrawFrame>
void RunSceneLoop(float duration, DrawFrame&& draw) {
  DemoTimer* timer = new DemoTimer(duration);
  for (;;) {
    if (!timer->Update() || EscapeRequested) break;
    if (DispatchPendingMessage()) continue;
    ClearFrame();
    draw(*timer);
    EndFrame();
  }
  delete timer;
}
