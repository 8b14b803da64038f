// platform/platform.h - the one door between the show and the operating system.
//
// Owns: the clock (real or virtual), logging, message boxes, the message queue and the
// Escape key state, the launcher window, the full-screen show window with its GL context,
// the headless EGL context used by tests and the offline renderer, the off-screen
// frame that every backend draws into, presenting that frame, PNG writing, and GL
// entry-point lookup.
//
// Only files under platform/ include SDL, EGL, mpg123, FreeType or fontconfig. Everything
// else calls the functions declared here. The show's own drawing is OpenGL 1.1; the
// platform draws it into an off-screen frame (a framebuffer object with a depth buffer)
// of the show's size, and presenting the frame scales it onto the window with its aspect
// kept. glReadPixels and glCopyTexImage2D in show code therefore read the show's frame.
//
// Called by: app/ (window, context, launcher, event dispatch), timeline/ (tick count,
// present), tools and tests (headless backend, virtual clock, frame read-back).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------------------
// Clock. Milliseconds since program start, unsigned 32 bits (wraps after 49.7 days).
// Every clock read in the program goes through PlatformTicks. A virtual clock, once
// enabled, replaces the real one: tests and the offline renderer set and advance it.

uint32_t PlatformTicks();
void PlatformUseVirtualClock(bool enabled);  // starts the virtual clock at 0 ms
bool PlatformVirtualClockActive();
void PlatformSetVirtualTime(double milliseconds);
void PlatformAdvanceVirtualTime(double milliseconds);
double PlatformVirtualTime();
// While the virtual clock runs, a loop that reads the clock without ever presenting a
// frame (a wait that only handles messages) would spin forever on a frozen clock. When
// this step is non-zero, every `idleReads` reads of the clock without a present in
// between advance the clock by `stepMs`. 0 turns it off (the default).
void PlatformSetVirtualIdleStep(double stepMs, int idleReads);

// ---------------------------------------------------------------------------------------
// Logging through one function with a level and a subsystem tag. The default sink prints
// warnings and errors to standard error; tests install their own sink.

enum LogLevel { LogLevelDebug = 0, LogLevelInfo = 1, LogLevelWarn = 2, LogLevelError = 3 };
typedef void (*LogSink)(LogLevel level, const char* tag, const char* text, void* user);

void LogMessage(LogLevel level, const char* tag, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
#define LogDebug(tag, ...) LogMessage(LogLevelDebug, tag, __VA_ARGS__)
#define LogInfo(tag, ...) LogMessage(LogLevelInfo, tag, __VA_ARGS__)
#define LogWarn(tag, ...) LogMessage(LogLevelWarn, tag, __VA_ARGS__)
#define LogError(tag, ...) LogMessage(LogLevelError, tag, __VA_ARGS__)
void SetLogSink(LogSink sink, void* user);  // null restores the default sink
void SetLogThreshold(LogLevel level);       // the default sink drops lower levels

// ---------------------------------------------------------------------------------------
// Message boxes: modal, no owner, caption + text + OK. Where no display can show one
// (headless runs, tests, no SDL video), the message goes to standard error as
// "caption: text" and never blocks. A capture hook sees every message first.

typedef void (*MessageBoxHook)(const char* caption, const char* text, void* user);
void PlatformMessageBox(const char* caption, const char* text);
void PlatformSetMessageBoxHook(MessageBoxHook hook, void* user);  // null removes it
// Headless message boxes: never show a window, write to standard error.
void PlatformSetMessageBoxesHeadless(bool headless);

// ---------------------------------------------------------------------------------------
// Windows and messages, in the manner of a window system with a message queue: each
// window has a procedure, messages are taken one at a time and dispatched to it.

typedef int PlatformWindow;  // 0 = no window
enum { PlatformNoWindow = 0 };

enum PlatformMessageType {
  MsgNone = 0,
  MsgPaint,
  MsgSize,
  MsgClose,    // the window is asked to close (close box, Alt+F4, window manager)
  MsgKeyDown,  // key in `key`, modifier bits in `mods`
  MsgKeyUp,
  MsgCommand,  // a control was activated; its id in `id`
  MsgMouseDown,
  MsgMouseUp,
  MsgMouseMove,
  MsgQuit,     // posted by PlatformPostQuit; taken by the message loops, never dispatched
  MsgOther
};

enum PlatformKey { KeyNone = 0, KeyEscape, KeyReturn, KeySpace, KeyF4, KeyOtherKey };
enum { ModAlt = 1, ModShift = 2, ModCtrl = 4 };

struct PlatformMessage {
  PlatformWindow window = PlatformNoWindow;
  PlatformMessageType type = MsgNone;
  int key = KeyNone;
  int mods = 0;
  int id = 0;
  int x = 0, y = 0;  // mouse position in the window's client area
};

typedef long (*PlatformWindowProc)(const PlatformMessage& message);

// Takes at most one pending message off the queue (events of the window system are
// turned into messages first). Returns false when none is waiting. Never blocks.
bool PlatformPeekMessage(PlatformMessage* message);
// Waits for the next message. Returns false when it is the quit message.
bool PlatformGetMessage(PlatformMessage* message);
// Hands a message to its window's procedure (messages of no window go nowhere).
long PlatformDispatchMessage(const PlatformMessage& message);
// Queues a message behind those already waiting (tests use it to inject events).
void PlatformPostMessage(const PlatformMessage& message);
void PlatformPostQuit();
// The state of a key as of the last message taken off the queue: true when down.
bool PlatformKeyDown(PlatformKey key);
void PlatformSetWindowProc(PlatformWindow window, PlatformWindowProc proc);
// What a window does with a message its procedure leaves alone: Alt+F4 becomes a close
// request (queued for the same window); everything else is ignored. Returns 0.
long PlatformDefWindowProc(const PlatformMessage& message);
// Drops every queued message and the key states (tests, between runs).
void PlatformResetMessages();

// ---------------------------------------------------------------------------------------
// The launcher: a small dialog window with a bitmap and one push button.

struct LauncherLayout {
  const char* title;
  int clientWidth, clientHeight;  // pixels
  int buttonId;
  const char* buttonText;
  int buttonX, buttonY, buttonWidth, buttonHeight;
  bool buttonDefault;
  int pictureX, pictureY;  // the picture takes its bitmap's real size, with a 1-pixel border
};

// `bitmap` and `icon` are BMP and ICO files held in memory (the executable's resources).
// Returns the launcher's window, created hidden, or PlatformNoWindow.
PlatformWindow PlatformCreateLauncher(const LauncherLayout& layout, const uint8_t* bitmap,
                                      size_t bitmapSize, const uint8_t* icon, size_t iconSize);
void PlatformMoveWindow(PlatformWindow window, int x, int y);  // top-left, screen pixels
void PlatformShowWindow(PlatformWindow window, bool shown);
void PlatformGetWindowRect(PlatformWindow window, int* x, int* y, int* width, int* height);
void PlatformDestroyWindow(PlatformWindow window);

// ---------------------------------------------------------------------------------------
// The show window and its GL context.

enum PlatformBackend { BackendWindowed = 0, BackendHeadless = 1 };
// Chooses the backend of the show window and context. Headless: no window system is
// touched; the context is EGL on Mesa's surfaceless platform, the frame is frameWidth by
// frameHeight (or the size asked for by PlatformCreateShowWindow when 0).
void PlatformSelectBackend(PlatformBackend backend, int frameWidth = 0, int frameHeight = 0);
PlatformBackend PlatformCurrentBackend();

// Reads the desktop's mode. False when it cannot be read.
bool PlatformDesktopMode(int* width, int* height);
// Prepares full-screen presentation. False when no full-screen window can be made
// (no display, no video driver).
bool PlatformPrepareFullscreen();

struct PixelFormatRequest {
  int colorBits;
  int depthBits;
  int stencilBits;
  bool doubleBuffer;
};

// Creates the full-screen window that shows a frame of frameWidth by frameHeight, with
// its 4:3 aspect kept. Returns PlatformNoWindow on failure.
PlatformWindow PlatformCreateShowWindow(const char* title, int frameWidth, int frameHeight,
                                        const PixelFormatRequest& format, const uint8_t* icon,
                                        size_t iconSize);
// Tools only: the next show window is an ordinary resizable window of windowWidth by
// windowHeight instead of full screen; the frame is still scaled into it with its aspect
// kept (black bars). The show itself never calls this.
void PlatformSetShowWindowed(bool windowed, int windowWidth, int windowHeight);
void PlatformFocusWindow(PlatformWindow window);
void PlatformClientSize(PlatformWindow window, int* width, int* height);  // the frame's size
void PlatformShowCursor(bool shown);

enum ContextStatus { ContextReady = 0, ContextNoFormat, ContextCannotSet };
// Creates the GL context for the show window (or the headless frame) and the off-screen
// frame with a depth buffer of at least the requested bits, and makes it current.
ContextStatus PlatformCreateContext(PlatformWindow window, const PixelFormatRequest& format);
void PlatformDestroyContext();
bool PlatformHasContext();
void* PlatformGetProcAddress(const char* name);
// Scales the frame onto the window (black bars outside the kept aspect) and swaps. On the
// headless backend, hands the frame to the present hook. Either way the frame stays bound
// for the next frame's drawing.
void PlatformPresent();
uint64_t PlatformPresentCount();
typedef void (*PresentHook)(void* user);
void PlatformSetPresentHook(PresentHook hook, void* user);
// Frame size of the current context.
void PlatformFrameSize(int* width, int* height);
// Reads the frame (RGBA, rows from the top) as it was last drawn.
std::vector<uint8_t> PlatformReadFrame(int* width, int* height);
// Gives the desktop back: closes the show window and the video subsystem.
void PlatformShutdownWindows();

// Headless convenience for tests and tools: select the headless backend, create the
// context for a frame of the given size. False with a logged reason when EGL fails.
bool PlatformOpenHeadless(int width, int height);
void PlatformCloseHeadless();

// ---------------------------------------------------------------------------------------
// Files the platform writes for tools.

bool WritePng(const std::string& path, int width, int height, const uint8_t* rgba);
