// scenes/scrolling_page.h - the scrolling page, 35 s (RunScrollingPage in scenes/scenes.h).
//
// Owns: the page's frame: the tall picture of slot 26 rolling up the screen at a speed
// tied to the scene clock, from below the bottom edge at 0 s to above the top edge at 35 s.
// Reads: TextureTable slot 26. Sets no state before its loop: it relies on the computer
// room having left a black clear colour, fog and blending off and the default projection.
// Called by: RunScrollingPage (once per frame), and tests that draw single frames.
#pragma once

#include "timeline/demo_timer.h"

void DrawScrollingPageFrame(const DemoTimer& timer);
