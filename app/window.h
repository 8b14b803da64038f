// app/window.h - the show's one window, its GL context, projection and extensions.
//
// Owns: the window and its context (through the platform layer), the fixed initial GL
// state, the projection, the multitexture entry points (app/gl.h), the window procedure
// that raises EscapeRequested, and the shut-down that gives the display back.
// Called by: start-up (app/launcher.h) in the order CreateDemoWindow, InitGL, ... the
// show ..., ShutdownAll; SetProjection also by scenes that change the far plane.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Set when Escape is down or the window is asked to close; never cleared once set
// (InitGL and the start-up defaults clear it before the show starts).
extern bool EscapeRequested;

extern PlatformWindow MainWindow;
extern PlatformWindow MainDC;  // the window's drawing surface: the same handle here
extern bool MainContext;       // true while the GL context exists

enum InitGLResult { InitGLReady = 0, InitGLMissingExtension, InitGLFailed };

// Returns the window, or PlatformNoWindow (after the display-mode message, if any).
PlatformWindow CreateDemoWindow(const char* title, int width, int height);
bool ChangeDisplayMode(int width, int height);
bool SetupPixelFormat(PlatformWindow dc);
InitGLResult InitGL(PlatformWindow window);
void SetProjection(int width, int height);
bool LoadExtensions();
// LoadExtensions on a given extension string (the GL_EXTENSIONS of some driver).
bool LoadExtensionsFrom(const char* extensions);
bool HasExtension(const char* list, const char* name);
long DemoWindowProc(const PlatformMessage& message);
void ShutdownGL();
void ShutdownAll();

// The pixel format the show asks for: double buffer, RGBA, 16 colour bits, 16 depth bits.
extern const PixelFormatRequest DemoPixelFormat;
