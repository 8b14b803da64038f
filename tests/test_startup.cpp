// Start-up: the window and its context on the headless backend, the initial GL state,
// the extension rule, the window procedure, the launcher's procedure and the failures of
// set-up. This program makes its own context (not the shared fixture's).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "app/gl.h"
#include "app/launcher.h"
#include "app/settings.h"
#include "app/window.h"
#include "data/resources.h"
#include "tests/support/test_support.h"

TEST(HasExtension, MatchesTheWayTheRuleIsWritten) {
  EXPECT_TRUE(HasExtension("GL_EXT_a\nGL_ARB_multitexture\nGL_EXT_b", "GL_ARB_multitexture"));
  EXPECT_TRUE(HasExtension("GL_EXT_a\nGL_ARB_multitexture", "GL_ARB_multitexture"));  // last, no line feed
  EXPECT_TRUE(HasExtension("GL_ARB_multitexture\n", "GL_ARB_multitexture"));
  EXPECT_FALSE(HasExtension("", "GL_ARB_multitexture"));
  EXPECT_FALSE(HasExtension("GL_ARB_multi\ntexture", "GL_ARB_multitexture"));
  // The counter never resets inside a token, so other characters may sit in between; the
  // match has to end on the token's last character.
  EXPECT_TRUE(HasExtension("GL_ARB_xmultitexture", "GL_ARB_multitexture"));
  // Once the counter has reached the name's length it stays there, so a token that holds
  // the name and goes on still matches at its own last character.
  EXPECT_TRUE(HasExtension("GL_ARB_multitexture_x", "GL_ARB_multitexture"));
  EXPECT_FALSE(HasExtension("GL_ARB_multitextur\ne", "GL_ARB_multitexture"));
  EXPECT_TRUE(HasExtension("GL_ARB_multitexturee", "GL_ARB_multitexture"));
}

TEST(LoadExtensions, AMissingExtensionLoadsNothingAndNothingCallsNull) {
  EXPECT_FALSE(LoadExtensionsFrom("GL_ARB_multitexture GL_EXT_other"));
  EXPECT_FALSE(LoadExtensionsFrom(""));
  EXPECT_FALSE(LoadExtensionsFrom(nullptr));
  EXPECT_FALSE(MultitextureReady);
  ASSERT_NE(glActiveTextureARB, nullptr);
  ASSERT_NE(glMultiTexCoord2fARB, nullptr);
  glActiveTextureARB(GL_TEXTURE1_ARB);  // the do-nothing entry points
  glMultiTexCoord2fARB(GL_TEXTURE1_ARB, 0.5f, 0.5f);
}

TEST(Dialog, LayoutInPixelsFromDialogUnits) {
  LauncherLayout l = LauncherLayoutPixels();
  EXPECT_STREQ(l.title, "Vellumar 2 - Ovalith - 2003");
  EXPECT_EQ(l.clientWidth, 311);   // 207 units * 6 / 4
  EXPECT_EQ(l.clientHeight, 127);  // 78 units * 13 / 8
  EXPECT_EQ(l.buttonId, 1003);
  EXPECT_STREQ(l.buttonText, "Fire !");
  EXPECT_EQ(l.buttonY, 89);
  EXPECT_EQ(l.buttonHeight, 23);
  EXPECT_TRUE(l.buttonDefault);
  // The picture and its border fit above the button and inside the window.
  EXPECT_LE(l.pictureY + 67 + 2, l.buttonY);
  EXPECT_LE(l.pictureX + 281 + 2, l.clientWidth);
}

TEST(Dialog, ResourcesHaveTheirSizesAndDepths) {
  auto u32 = [](const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; };
  ASSERT_GT(LauncherBitmapSize, 1078u);
  EXPECT_EQ(LauncherBitmap[0], 'B');
  EXPECT_EQ(LauncherBitmap[1], 'M');
  EXPECT_EQ(u32(LauncherBitmap + 18), 281u);
  EXPECT_EQ(u32(LauncherBitmap + 22), 67u);
  EXPECT_EQ(LauncherBitmap[28], 8);
  EXPECT_EQ(u32(LauncherBitmap + 46), 256u);
  EXPECT_EQ(u32(LauncherBitmap + 2), LauncherBitmapSize);
  ASSERT_GT(ProgramIconSize, 22u + 40u);
  EXPECT_EQ(ProgramIcon[4], 1);   // one image
  EXPECT_EQ(ProgramIcon[6], 32);  // 32 by 32
  EXPECT_EQ(ProgramIcon[7], 32);
  EXPECT_EQ(ProgramIcon[8], 16);  // 16 colours
  EXPECT_EQ(ProgramIcon[22 + 14], 4);  // 4 bits per pixel
}

TEST(LauncherProc, CloseAndButtonSetTheFlagsAndEndTheLoop) {
  PlatformResetMessages();
  LauncherClosed = StartRequested = false;
  PlatformMessage m;
  m.type = MsgCommand;
  m.id = 1002;  // another control: not handled
  EXPECT_EQ(LauncherProc(m), 0);
  EXPECT_FALSE(StartRequested);
  PlatformMessage key;
  key.type = MsgKeyDown;
  key.key = KeyReturn;
  EXPECT_EQ(LauncherProc(key), 0);  // Enter does nothing
  key.key = KeyEscape;
  EXPECT_EQ(LauncherProc(key), 0);  // nor does Escape
  EXPECT_FALSE(LauncherClosed);

  m.type = MsgClose;
  EXPECT_EQ(LauncherProc(m), 1);
  EXPECT_TRUE(LauncherClosed);
  PlatformMessage taken;
  EXPECT_FALSE(PlatformGetMessage(&taken));  // the posted quit ends the loop

  m.type = MsgCommand;
  m.id = 1003;
  EXPECT_EQ(LauncherProc(m), 1);
  EXPECT_FALSE(LauncherClosed);  // the button clears it again
  EXPECT_TRUE(StartRequested);
  EXPECT_FALSE(PlatformGetMessage(&taken));
}

TEST(WindowProc, EscapeAndCloseRequestsRaiseTheFlag) {
  PlatformResetMessages();
  EscapeRequested = false;
  PlatformMessage m;
  m.type = MsgPaint;
  EXPECT_EQ(DemoWindowProc(m), 0);
  EXPECT_FALSE(EscapeRequested);

  // Alt+F4 goes to the default handling, which asks the window to close.
  m.type = MsgKeyDown;
  m.key = KeyF4;
  m.mods = ModAlt;
  DemoWindowProc(m);
  EXPECT_FALSE(EscapeRequested);
  PlatformMessage next;
  ASSERT_TRUE(PlatformPeekMessage(&next));
  EXPECT_EQ(next.type, MsgClose);
  DemoWindowProc(next);
  EXPECT_TRUE(EscapeRequested);
  ASSERT_TRUE(PlatformPeekMessage(&next));
  EXPECT_EQ(next.type, MsgQuit);

  // Escape is seen through the key state on any message.
  EscapeRequested = false;
  PlatformMessage escape;
  escape.type = MsgKeyDown;
  escape.key = KeyEscape;
  PlatformPostMessage(escape);
  ASSERT_TRUE(PlatformPeekMessage(&next));
  EXPECT_TRUE(PlatformKeyDown(KeyEscape));
  PlatformMessage other;
  other.type = MsgOther;
  DemoWindowProc(other);
  EXPECT_TRUE(EscapeRequested);
  EscapeRequested = false;
  PlatformResetMessages();
}

TEST(SetUpFailures, NoDisplayEndsTheShowWithStatusOne) {
  // A windowed start on a machine without any display: the desktop's mode is unreadable
  // (the show would go on at the current size), then no window can be made: a failure
  // status, not success.
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  setenv("SDL_VIDEODRIVER", "x11", 1);
  PlatformSelectBackend(BackendWindowed);
  CapturedMessages captured;
  EXPECT_EQ(RunShow(), 1);
  ASSERT_EQ(captured.boxes.size(), 1u);
  EXPECT_EQ(captured.boxes[0], "Error: Could Not Enum Display Settings");
  EXPECT_FALSE(PlatformHasContext());
}

TEST(SetUpFailures, NoLauncherIsAFailureNotAWaitForever) {
  unsetenv("DISPLAY");
  setenv("SDL_VIDEODRIVER", "x11", 1);
  PlatformSelectBackend(BackendWindowed);
  CapturedMessages captured;
  EXPECT_EQ(RunProgram(), 1);
  EXPECT_FALSE(StartRequested);
  EXPECT_EQ(captured.boxes.size(), 1u);
}

TEST(Startup, WindowContextAndInitialState) {
  PlatformSelectBackend(BackendHeadless, 1024, 768);
  CapturedMessages captured;
  SetDefaultSettings();
  EscapeRequested = true;
  PlatformWindow window = CreateDemoWindow("Vellumar 2", ScreenWidth, ScreenHeight);
  ASSERT_NE(window, PlatformNoWindow);
  InitGLResult result = InitGL(window);
  ASSERT_NE(result, InitGLFailed);
  EXPECT_FALSE(EscapeRequested);
  EXPECT_TRUE(captured.boxes.empty());
  // llvmpipe offers both extensions, so the entry points are the driver's.
  EXPECT_EQ(result, InitGLReady);
  EXPECT_TRUE(MultitextureReady);

  GLint value = 0;
  glGetIntegerv(GL_SHADE_MODEL, &value);
  EXPECT_EQ(value, GL_SMOOTH);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  glGetIntegerv(GL_DEPTH_FUNC, &value);
  EXPECT_EQ(value, GL_LESS);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  glGetIntegerv(GL_MATRIX_MODE, &value);
  EXPECT_EQ(value, GL_MODELVIEW);
  glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &value);
  EXPECT_EQ(value, GL_NICEST);
  GLint depthBits = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  EXPECT_GE(depthBits, 16);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 1024);
  EXPECT_EQ(viewport[3], 768);

  // The projection: 45 degrees, 4:3, near 0.5, far 2000.
  float p[16];
  glGetFloatv(GL_PROJECTION_MATRIX, p);
  float f = 1.0f / tanf(22.5f * 3.14159265f / 180.0f);
  EXPECT_NEAR(p[5], f, 1e-4);
  EXPECT_NEAR(p[0], f * 0.75f, 1e-4);
  EXPECT_NEAR(p[10], -(2000.0f + 0.5f) / (2000.0f - 0.5f), 1e-4);

  // Height 0 is taken as 1: a one-pixel viewport, aspect width / 1.
  SetProjection(640, 0);
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[3], 1);
  EXPECT_EQ(viewport[2], 640);
  glGetFloatv(GL_PROJECTION_MATRIX, p);
  EXPECT_NEAR(p[0], f / 640.0f, 1e-6);
  glGetIntegerv(GL_MATRIX_MODE, &value);
  EXPECT_EQ(value, GL_MODELVIEW);
  SetProjection(1024, 768);

  // The frame is what is read back, at the show's size.
  glClearColor(0.2f, 0.4f, 0.6f, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  PlatformPresent();
  int w, h;
  std::vector<uint8_t> frame = PlatformReadFrame(&w, &h);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 768);
  ASSERT_EQ(frame.size(), 1024u * 768u * 4u);
  EXPECT_NEAR(frame[0], 51, 1);
  EXPECT_NEAR(frame[2], 153, 1);

  ShutdownAll();
  EXPECT_FALSE(PlatformHasContext());
  EXPECT_FALSE(MainContext);
}
