// platform/internal.h - what the platform's own files share; nothing outside platform/
// includes it.
#pragma once

#include <SDL.h>

#include "platform/platform.h"

// Starts SDL's video subsystem once. False (with the reason logged) when it cannot start.
bool PlatformEnsureVideo();
bool PlatformVideoStarted();

// The window registry: every PlatformWindow is an index into it.
enum WindowKind { WindowKindFree = 0, WindowKindLauncher, WindowKindShow, WindowKindVirtual };
struct LauncherState;
struct WindowRecord {
  WindowKind kind = WindowKindFree;
  SDL_Window* sdl = nullptr;
  PlatformWindowProc proc = nullptr;
  LauncherState* launcher = nullptr;
  bool placed = false;  // moved by PlatformMoveWindow: the frame's corner at (placedX, placedY)
  int placedX = 0, placedY = 0;
};
PlatformWindow RegisterWindow(WindowKind kind, SDL_Window* sdl);
WindowRecord* FindWindow(PlatformWindow window);
PlatformWindow WindowFromSdlId(uint32_t id);
void ReleaseWindow(PlatformWindow window);

// The launcher's own controls see mouse and paint messages before its procedure does.
// Returns true when the message was consumed by a control.
bool LauncherHandleControls(PlatformWindow window, const PlatformMessage& message);
void LauncherDestroy(LauncherState* state);

// Called by PlatformPresent: the virtual clock's idle counter starts again.
void ClockNotePresent();

// Decodes an ICO held in memory into a 32-bit surface of its first image (for window
// icons). Null when the bytes are not an icon we can read.
SDL_Surface* DecodeIcon(const uint8_t* bytes, size_t size);
