// platform/display.cpp - the show window, its GL context and the off-screen frame.
//
// The show draws into a frame of its own size (1024 by 768): a framebuffer object with a
// colour and a depth renderbuffer, bound for all of the show's drawing, so that frame
// copies and screenshots read exactly that frame. Presenting blits it, scaled with its
// aspect kept, onto the desktop-sized window and swaps. The desktop's mode is never
// changed. The headless backend makes the same frame in an EGL context on Mesa's
// surfaceless platform; there presenting hands the frame to a hook instead.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>

#include "platform/internal.h"

namespace {
PlatformBackend backend = BackendWindowed;
int headlessWidth = 0, headlessHeight = 0;
bool videoStarted = false;

// The frame and the functions that reach it (GL 3.0 names first, then the EXT ones).
struct FrameFunctions {
  PFNGLGENFRAMEBUFFERSPROC genFramebuffers;
  PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers;
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus;
  PFNGLGENRENDERBUFFERSPROC genRenderbuffers;
  PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers;
  PFNGLBINDRENDERBUFFERPROC bindRenderbuffer;
  PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage;
  PFNGLBLITFRAMEBUFFERPROC blitFramebuffer;
} fb;

GLuint frameBuffer = 0, colourBuffer = 0, depthBuffer = 0;
int frameWidth = 0, frameHeight = 0;
bool haveContext = false;
uint64_t presents = 0;
PresentHook presentHook = nullptr;
void* presentUser = nullptr;

// Windowed backend.
PlatformWindow showWindow = PlatformNoWindow;
bool showWindowed = false;  // an ordinary window instead of full screen (tools)
int windowedWidth = 0, windowedHeight = 0;
SDL_GLContext sdlContext = nullptr;

// Headless backend.
EGLDisplay eglDisplay = EGL_NO_DISPLAY;
EGLContext eglContext = EGL_NO_CONTEXT;

void* Lookup(const char* name) {
  if (backend == BackendHeadless) return (void*)eglGetProcAddress(name);
  return SDL_GL_GetProcAddress(name);
}

template <typename T>
bool Load(T* slot, const char* core, const char* ext) {
  *slot = (T)Lookup(core);
  if (!*slot) *slot = (T)Lookup(ext);
  return *slot != nullptr;
}

bool LoadFrameFunctions() {
  bool ok = true;
  ok &= Load(&fb.genFramebuffers, "glGenFramebuffers", "glGenFramebuffersEXT");
  ok &= Load(&fb.deleteFramebuffers, "glDeleteFramebuffers", "glDeleteFramebuffersEXT");
  ok &= Load(&fb.bindFramebuffer, "glBindFramebuffer", "glBindFramebufferEXT");
  ok &= Load(&fb.framebufferRenderbuffer, "glFramebufferRenderbuffer",
             "glFramebufferRenderbufferEXT");
  ok &= Load(&fb.checkFramebufferStatus, "glCheckFramebufferStatus",
             "glCheckFramebufferStatusEXT");
  ok &= Load(&fb.genRenderbuffers, "glGenRenderbuffers", "glGenRenderbuffersEXT");
  ok &= Load(&fb.deleteRenderbuffers, "glDeleteRenderbuffers", "glDeleteRenderbuffersEXT");
  ok &= Load(&fb.bindRenderbuffer, "glBindRenderbuffer", "glBindRenderbufferEXT");
  ok &= Load(&fb.renderbufferStorage, "glRenderbufferStorage", "glRenderbufferStorageEXT");
  // The blit is needed only to present onto a window.
  Load(&fb.blitFramebuffer, "glBlitFramebuffer", "glBlitFramebufferEXT");
  return ok;
}

bool CreateFrame(int width, int height, const PixelFormatRequest& format) {
  if (!LoadFrameFunctions()) {
    LogError("platform", "the driver has no framebuffer objects");
    return false;
  }
  fb.genFramebuffers(1, &frameBuffer);
  fb.bindFramebuffer(GL_FRAMEBUFFER, frameBuffer);
  fb.genRenderbuffers(1, &colourBuffer);
  fb.bindRenderbuffer(GL_RENDERBUFFER, colourBuffer);
  fb.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
  fb.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colourBuffer);
  fb.genRenderbuffers(1, &depthBuffer);
  fb.bindRenderbuffer(GL_RENDERBUFFER, depthBuffer);
  bool stencil = format.stencilBits > 0;
  // At least the depth asked for; 24 bits is what every driver offers.
  fb.renderbufferStorage(GL_RENDERBUFFER, stencil ? GL_DEPTH24_STENCIL8 : GL_DEPTH_COMPONENT24,
                         width, height);
  fb.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBuffer);
  if (stencil)
    fb.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthBuffer);
  GLenum status = fb.checkFramebufferStatus(GL_FRAMEBUFFER);
  if (status != GL_FRAMEBUFFER_COMPLETE) {
    LogError("platform", "the off-screen frame is incomplete (0x%x)", status);
    return false;
  }
  frameWidth = width;
  frameHeight = height;
  glViewport(0, 0, width, height);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  return true;
}

void DestroyFrame() {
  if (!frameBuffer) return;
  fb.bindFramebuffer(GL_FRAMEBUFFER, 0);
  fb.deleteFramebuffers(1, &frameBuffer);
  fb.deleteRenderbuffers(1, &colourBuffer);
  fb.deleteRenderbuffers(1, &depthBuffer);
  frameBuffer = colourBuffer = depthBuffer = 0;
}

bool CreateHeadlessContext() {
  auto getPlatformDisplay =
      (PFNEGLGETPLATFORMDISPLAYEXTPROC)eglGetProcAddress("eglGetPlatformDisplayEXT");
  if (getPlatformDisplay)
    eglDisplay = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (eglDisplay == EGL_NO_DISPLAY) {
    LogError("platform", "no surfaceless EGL display (Mesa's EGL is needed)");
    return false;
  }
  EGLint major = 0, minor = 0;
  if (!eglInitialize(eglDisplay, &major, &minor)) {
    LogError("platform", "eglInitialize failed (0x%x)", eglGetError());
    eglDisplay = EGL_NO_DISPLAY;
    return false;
  }
  if (!eglBindAPI(EGL_OPENGL_API)) {
    LogError("platform", "EGL has no desktop OpenGL");
    return false;
  }
  // No config and no surface: the show draws only into its framebuffer object.
  const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                               EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  eglContext = eglCreateContext(eglDisplay, (EGLConfig)0, EGL_NO_CONTEXT, attributes);
  if (eglContext == EGL_NO_CONTEXT) {
    LogError("platform", "eglCreateContext failed (0x%x)", eglGetError());
    return false;
  }
  if (!eglMakeCurrent(eglDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, eglContext)) {
    LogError("platform", "eglMakeCurrent failed (0x%x)", eglGetError());
    eglDestroyContext(eglDisplay, eglContext);
    eglContext = EGL_NO_CONTEXT;
    return false;
  }
  return true;
}

void DestroyHeadlessContext() {
  if (eglDisplay == EGL_NO_DISPLAY) return;
  eglMakeCurrent(eglDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (eglContext != EGL_NO_CONTEXT) eglDestroyContext(eglDisplay, eglContext);
  eglContext = EGL_NO_CONTEXT;
  eglTerminate(eglDisplay);
  eglDisplay = EGL_NO_DISPLAY;
}

// The largest rectangle of the frame's aspect that fits the window, centred.
void FitRect(int winW, int winH, int* x, int* y, int* w, int* h) {
  if ((long)winW * frameHeight > (long)winH * frameWidth) {
    *h = winH;
    *w = (int)((long)winH * frameWidth / frameHeight);
  } else {
    *w = winW;
    *h = (int)((long)winW * frameHeight / frameWidth);
  }
  *x = (winW - *w) / 2;
  *y = (winH - *h) / 2;
}
}  // namespace

bool PlatformEnsureVideo() {
  if (videoStarted) return true;
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // SDL drops a click that arrives within a few milliseconds of the window taking focus; a
  // dialog's button must answer the click that activates its window.
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    LogError("platform", "no video: %s", SDL_GetError());
    return false;
  }
  videoStarted = true;
  return true;
}
bool PlatformVideoStarted() { return videoStarted; }

void PlatformSelectBackend(PlatformBackend chosen, int width, int height) {
  backend = chosen;
  headlessWidth = width;
  headlessHeight = height;
}
PlatformBackend PlatformCurrentBackend() { return backend; }

bool PlatformDesktopMode(int* width, int* height) {
  if (backend == BackendHeadless) {
    *width = headlessWidth > 0 ? headlessWidth : 1024;
    *height = headlessHeight > 0 ? headlessHeight : 768;
    return true;
  }
  if (!PlatformEnsureVideo()) return false;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) {
    LogWarn("platform", "desktop mode unreadable: %s", SDL_GetError());
    return false;
  }
  *width = mode.w;
  *height = mode.h;
  return true;
}

bool PlatformPrepareFullscreen() {
  if (backend == BackendHeadless) return true;
  if (!PlatformEnsureVideo()) return false;
  return SDL_GetNumVideoDisplays() > 0;
}

PlatformWindow PlatformCreateShowWindow(const char* title, int width, int height,
                                        const PixelFormatRequest& format, const uint8_t* icon,
                                        size_t iconSize) {
  if (width <= 0 || height <= 0) return PlatformNoWindow;
  frameWidth = width;
  frameHeight = height;
  if (backend == BackendHeadless) {
    showWindow = RegisterWindow(WindowKindVirtual, nullptr);
    return showWindow;
  }
  if (!PlatformEnsureVideo()) return PlatformNoWindow;
  // The window's own buffers only receive the scaled frame; the depth buffer the show
  // asks for belongs to the off-screen frame.
  int channel = format.colorBits >= 24 ? 8 : 5;
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, format.doubleBuffer ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  // The window covers the whole desktop from the start, so that it does so even where no
  // window manager acts on the full-screen request.
  SDL_Rect bounds = {0, 0, width, height};
  SDL_GetDisplayBounds(0, &bounds);
  SDL_Window* sdl = nullptr;
  if (showWindowed) {
    sdl = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                           windowedWidth > 0 ? windowedWidth : width,
                           windowedHeight > 0 ? windowedHeight : height,
                           SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE);
  } else {
    sdl = SDL_CreateWindow(
        title, bounds.x, bounds.y, bounds.w, bounds.h,
        SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
  }
  if (!sdl) {
    LogError("platform", "no full-screen window: %s", SDL_GetError());
    return PlatformNoWindow;
  }
  if (SDL_Surface* s = DecodeIcon(icon, iconSize)) {
    SDL_SetWindowIcon(sdl, s);
    SDL_FreeSurface(s);
  }
  showWindow = RegisterWindow(WindowKindShow, sdl);
  if (!showWindow) SDL_DestroyWindow(sdl);
  return showWindow;
}

void PlatformSetShowWindowed(bool windowed, int width, int height) {
  showWindowed = windowed;
  windowedWidth = width;
  windowedHeight = height;
}

void PlatformFocusWindow(PlatformWindow window) {
  WindowRecord* w = FindWindow(window);
  if (w && w->sdl) {
    SDL_RaiseWindow(w->sdl);
    SDL_SetWindowInputFocus(w->sdl);
  }
}

void PlatformClientSize(PlatformWindow, int* width, int* height) {
  *width = frameWidth;
  *height = frameHeight;
}

void PlatformShowCursor(bool shown) {
  if (videoStarted) SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
}

ContextStatus PlatformCreateContext(PlatformWindow window, const PixelFormatRequest& format) {
  if (haveContext) return ContextReady;
  if (backend == BackendHeadless) {
    if (frameWidth <= 0 || frameHeight <= 0) {
      frameWidth = headlessWidth > 0 ? headlessWidth : 1024;
      frameHeight = headlessHeight > 0 ? headlessHeight : 768;
    }
    if (!CreateHeadlessContext()) return ContextNoFormat;
  } else {
    WindowRecord* w = FindWindow(window);
    if (!w || !w->sdl) return ContextNoFormat;
    sdlContext = SDL_GL_CreateContext(w->sdl);
    if (!sdlContext) {
      LogError("platform", "no GL context: %s", SDL_GetError());
      return ContextNoFormat;
    }
    if (SDL_GL_MakeCurrent(w->sdl, sdlContext) != 0) {
      LogError("platform", "cannot make the context current: %s", SDL_GetError());
      SDL_GL_DeleteContext(sdlContext);
      sdlContext = nullptr;
      return ContextCannotSet;
    }
  }
  if (!CreateFrame(frameWidth, frameHeight, format)) {
    PlatformDestroyContext();
    return ContextCannotSet;
  }
  haveContext = true;
  return ContextReady;
}

void PlatformDestroyContext() {
  if (frameBuffer) DestroyFrame();
  if (backend == BackendHeadless) {
    DestroyHeadlessContext();
  } else if (sdlContext) {
    SDL_GL_MakeCurrent(nullptr, nullptr);
    SDL_GL_DeleteContext(sdlContext);
    sdlContext = nullptr;
  }
  haveContext = false;
}

bool PlatformHasContext() { return haveContext; }

void* PlatformGetProcAddress(const char* name) {
  if (!haveContext || !name) return nullptr;
  return Lookup(name);
}

void PlatformPresent() {
  presents++;
  ClockNotePresent();
  if (!haveContext) {
    if (presentHook) presentHook(presentUser);
    return;
  }
  WindowRecord* w = FindWindow(showWindow);
  if (backend == BackendHeadless || !w || !w->sdl) {
    glFlush();
    if (presentHook) presentHook(presentUser);
    return;
  }
  int winW = 0, winH = 0;
  SDL_GL_GetDrawableSize(w->sdl, &winW, &winH);
  int x, y, rw, rh;
  FitRect(winW, winH, &x, &y, &rw, &rh);
  // The blit and the clear of the window obey the scissor test and the colour mask; the
  // show's own settings of both come back afterwards.
  GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  GLboolean mask[4];
  glGetBooleanv(GL_COLOR_WRITEMASK, mask);
  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  fb.bindFramebuffer(GL_READ_FRAMEBUFFER, frameBuffer);
  fb.bindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  if (fb.blitFramebuffer)
    fb.blitFramebuffer(0, 0, frameWidth, frameHeight, x, y, x + rw, y + rh, GL_COLOR_BUFFER_BIT,
                       GL_LINEAR);
  SDL_GL_SwapWindow(w->sdl);
  fb.bindFramebuffer(GL_FRAMEBUFFER, frameBuffer);
  glClearColor(clear[0], clear[1], clear[2], clear[3]);
  glColorMask(mask[0], mask[1], mask[2], mask[3]);
  if (scissor) glEnable(GL_SCISSOR_TEST);
  if (presentHook) presentHook(presentUser);
}

uint64_t PlatformPresentCount() { return presents; }

void PlatformSetPresentHook(PresentHook hook, void* user) {
  presentHook = hook;
  presentUser = user;
}

void PlatformFrameSize(int* width, int* height) {
  *width = frameWidth;
  *height = frameHeight;
}

std::vector<uint8_t> PlatformReadFrame(int* width, int* height) {
  *width = *height = 0;
  if (!haveContext) return {};
  int w = frameWidth, h = frameHeight;
  size_t rowBytes = (size_t)w * 4;
  // A capture reads every frame: the rows GL gives are kept between calls, and the
  // picture is built row by row without first being cleared.
  static std::vector<uint8_t> rows;
  rows.resize(rowBytes * h);
  GLint pack = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &pack);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  fb.bindFramebuffer(GL_READ_FRAMEBUFFER, frameBuffer);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
  glPixelStorei(GL_PACK_ALIGNMENT, pack);
  // GL's rows run from the bottom; pictures run from the top.
  std::vector<uint8_t> frame;
  frame.reserve(rows.size());
  for (int y = h - 1; y >= 0; y--)
    frame.insert(frame.end(), rows.begin() + (ptrdiff_t)(rowBytes * y),
                 rows.begin() + (ptrdiff_t)(rowBytes * (y + 1)));
  *width = w;
  *height = h;
  return frame;
}

void PlatformShutdownWindows() {
  if (haveContext) PlatformDestroyContext();
  if (WindowRecord* w = FindWindow(showWindow)) {
    if (w->sdl) SDL_DestroyWindow(w->sdl);
    ReleaseWindow(showWindow);
  }
  showWindow = PlatformNoWindow;
  if (videoStarted) {
    SDL_ShowCursor(SDL_ENABLE);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoStarted = false;
  }
}

bool PlatformOpenHeadless(int width, int height) {
  PlatformSelectBackend(BackendHeadless, width, height);
  const PixelFormatRequest format = {32, 24, 0, true};
  if (haveContext) {
    if (frameWidth == width && frameHeight == height) return true;
    PlatformCloseHeadless();
    PlatformSelectBackend(BackendHeadless, width, height);
  }
  if (!showWindow) showWindow = RegisterWindow(WindowKindVirtual, nullptr);
  frameWidth = width;
  frameHeight = height;
  return PlatformCreateContext(showWindow, format) == ContextReady;
}

void PlatformCloseHeadless() {
  if (haveContext) PlatformDestroyContext();
  if (showWindow) ReleaseWindow(showWindow);
  showWindow = PlatformNoWindow;
}
