// app/launcher.h - program start-up: the launcher dialog, then the show.
//
// Owns: the launcher's procedure and its message loop, the order of start-up (settings,
// window, context, sound, the demo sequence, shut-down) and the program's exit status.
// Called by: main (app/main.cpp).
#pragma once

#include "platform/platform.h"

// Runs the launcher and, when its button is pressed, the show. Returns the exit status:
// 0 when the show ran or the launcher was closed, 1 when the window or the context could
// not be set up.
int RunProgram();

// The show after the launcher's button: settings, window, context, sound, the demo
// sequence, shut-down. Returns 1 when the window or the context could not be set up.
int RunShow();

long LauncherProc(const PlatformMessage& message);
