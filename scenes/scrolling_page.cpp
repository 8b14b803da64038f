// scenes/scrolling_page.cpp - the scrolling page, 35 s, the first scene of the second track.
//
// A page four units wide and 12.8 tall at eye depth -3.6, where the screen spans about
// +-1.49 units vertically: its top edge stands at -1.6 (just below the screen) at 0 s and
// its bottom edge at about 1.51 (just above) at 35 s, moving 1/2.2 units per second.
#include "scenes/scrolling_page.h"

#include "app/gl.h"
#include "assets/texture_table.h"
#include "scenes/scenes.h"
#include "timeline/frame_services.h"
#include "timeline/scene_loop.h"

namespace {
const float PageSeconds = 35.0f;

// The page's vertical offset: it spans offset - 6.4 to offset + 6.4.
float PageOffset(float seconds) { return seconds / 2.2f - 8.0f; }
}  // namespace

void DrawScrollingPageFrame(const DemoTimer& timer) {
  float y = PageOffset(timer.elapsed);
  glColor3f(1, 1, 1);
  glDisable(GL_DEPTH_TEST);
  glLoadIdentity();
  glTranslatef(0, y, -1.6f);
  glBindTexture(GL_TEXTURE_2D, TextureSlot(26));
  glBegin(GL_QUADS);
  glTexCoord2f(0, 1);
  glVertex3f(-2, -6.4f, -2);
  glTexCoord2f(0, 0);
  glVertex3f(-2, 6.4f, -2);
  glTexCoord2f(1, 0);
  glVertex3f(2, 6.4f, -2);
  glTexCoord2f(1, 1);
  glVertex3f(2, -6.4f, -2);
  glEnd();
  glEnable(GL_DEPTH_TEST);
}

void RunScrollingPage() {
  RunSceneLoop(PageSeconds, [](const DemoTimer& timer) { DrawScrollingPageFrame(timer); });
}
