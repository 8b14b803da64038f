// app/launcher.cpp - program start-up: the launcher, then the show.
#include "app/launcher.h"

#include "app/settings.h"
#include "app/window.h"
#include "data/resources.h"
#include "timeline/demo_sequence.h"
#include "timeline/music.h"

namespace {
PlatformWindow launcher = PlatformNoWindow;

// Ends the dialog: it leaves the screen but is not destroyed.
void EndLauncher(PlatformWindow window) { PlatformShowWindow(window, false); }
}  // namespace

long LauncherProc(const PlatformMessage& message) {
  switch (message.type) {
    case MsgClose:
      LauncherClosed = true;
      EndLauncher(message.window);
      PlatformPostQuit();
      return 1;
    case MsgCommand:
      if (message.id != FireButtonId) return 0;
      LauncherClosed = false;
      StartRequested = true;
      EndLauncher(message.window);
      PlatformPostQuit();
      return 1;
    default:
      return 0;
  }
}

int RunProgram() {
  LauncherClosed = false;
  StartRequested = false;
  launcher = PlatformCreateLauncher(LauncherLayoutPixels(), LauncherBitmap, LauncherBitmapSize,
                                    ProgramIcon, ProgramIconSize);
  if (!launcher) {
    // Without a launcher nobody can press its button; waiting for it would never end.
    PlatformMessageBox("Error", "The launcher could not be shown");
    return 1;
  }
  PlatformSetWindowProc(launcher, LauncherProc);
  PlatformShowWindow(launcher, false);
  int x, y, width, height;
  PlatformGetWindowRect(launcher, &x, &y, &width, &height);
  PlatformMoveWindow(launcher, 100, 100);
  PlatformShowWindow(launcher, true);
  PlatformShowWindow(launcher, true);

  PlatformMessage message;
  while (PlatformGetMessage(&message)) PlatformDispatchMessage(message);

  if (LauncherClosed || !StartRequested) return 0;
  return RunShow();
}

int RunShow() {
  SetDefaultSettings();
  PlatformWindow window = CreateDemoWindow("Vellumar 2", ScreenWidth, ScreenHeight);
  if (!window) {
    ShutdownGL();
    return 1;
  }
  if (InitGL(window) == InitGLFailed) {
    ShutdownGL();
    return 1;
  }
  StartSound();
  RunDemo();
  ShutdownAll();
  return 0;
}
