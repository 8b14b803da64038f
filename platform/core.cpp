// platform/core.cpp - the clock, logging and message boxes.
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/internal.h"

// ---------------------------------------------------------------------------------------
// Clock

namespace {
const auto programStart = std::chrono::steady_clock::now();
bool virtualClock = false;
double virtualMs = 0;
double idleStepMs = 0;
int idleReadLimit = 0;
int idleReads = 0;
}  // namespace

uint32_t PlatformTicks() {
  if (virtualClock) {
    if (idleStepMs > 0 && ++idleReads >= idleReadLimit) {
      idleReads = 0;
      virtualMs += idleStepMs;
    }
    // Wraps like a 32-bit millisecond counter.
    return (uint32_t)(uint64_t)std::floor(virtualMs);
  }
  auto now = std::chrono::steady_clock::now();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - programStart).count();
  return (uint32_t)(uint64_t)ms;
}

void PlatformUseVirtualClock(bool enabled) {
  virtualClock = enabled;
  virtualMs = 0;
  idleReads = 0;
}
bool PlatformVirtualClockActive() { return virtualClock; }
void PlatformSetVirtualTime(double milliseconds) { virtualMs = milliseconds < 0 ? 0 : milliseconds; }
void PlatformAdvanceVirtualTime(double milliseconds) {
  if (milliseconds > 0) virtualMs += milliseconds;
}
double PlatformVirtualTime() { return virtualMs; }
void PlatformSetVirtualIdleStep(double stepMs, int reads) {
  idleStepMs = stepMs > 0 ? stepMs : 0;
  idleReadLimit = reads < 1 ? 1 : reads;
  idleReads = 0;
}
void ClockNotePresent() { idleReads = 0; }

// ---------------------------------------------------------------------------------------
// Logging

namespace {
LogSink logSink = nullptr;
void* logUser = nullptr;
LogLevel logThreshold = LogLevelWarn;
const char* const levelNames[] = {"debug", "info", "warning", "error"};
}  // namespace

void LogMessage(LogLevel level, const char* tag, const char* format, ...) {
  if (!logSink && level < logThreshold) return;
  char text[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (logSink) {
    logSink(level, tag ? tag : "", text, logUser);
    return;
  }
  int index = level < LogLevelDebug ? 0 : level > LogLevelError ? 3 : (int)level;
  fprintf(stderr, "vellumar2: %s: %s: %s\n", levelNames[index], tag ? tag : "", text);
}

void SetLogSink(LogSink sink, void* user) {
  logSink = sink;
  logUser = user;
}
void SetLogThreshold(LogLevel level) { logThreshold = level; }

// ---------------------------------------------------------------------------------------
// Message boxes

namespace {
MessageBoxHook boxHook = nullptr;
void* boxUser = nullptr;
bool boxesHeadless = false;

bool DisplayAvailable() {
  const char* x = getenv("DISPLAY");
  const char* wayland = getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wayland && *wayland);
}
}  // namespace

void PlatformMessageBox(const char* caption, const char* text) {
  if (!caption) caption = "";
  if (!text) text = "";
  if (boxHook) boxHook(caption, text, boxUser);
  bool headless = boxesHeadless || PlatformCurrentBackend() == BackendHeadless ||
                  !DisplayAvailable() || getenv("VELLUMAR_HEADLESS_MESSAGES");
  if (!headless) {
    // No owner window: the box stands on its own, modal to the thread.
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, nullptr) == 0) return;
  }
  fprintf(stderr, "%s: %s\n", caption, text);
  fflush(stderr);
}

void PlatformSetMessageBoxHook(MessageBoxHook hook, void* user) {
  boxHook = hook;
  boxUser = user;
}
void PlatformSetMessageBoxesHeadless(bool headless) { boxesHeadless = headless; }
