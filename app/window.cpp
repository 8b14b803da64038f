// app/window.cpp - the show window, its context, the initial GL state and the extensions.
#include "app/window.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/gl.h"
#include "data/resources.h"
#include "effects/font.h"
#include "timeline/music.h"

bool EscapeRequested = false;
PlatformWindow MainWindow = PlatformNoWindow;
PlatformWindow MainDC = PlatformNoWindow;
bool MainContext = false;

// 16 colour bits and 16 depth bits, double buffered RGBA, no stencil.
const PixelFormatRequest DemoPixelFormat = {16, 16, 0, true};

// Until the extension is loaded the entry points do nothing, so that drawing code that
// forgets to test MultitextureReady still never calls through a null pointer.
namespace {
void APIENTRY NoMultiTexCoord1f(GLenum, GLfloat) {}
void APIENTRY NoMultiTexCoord2f(GLenum, GLfloat, GLfloat) {}
void APIENTRY NoMultiTexCoord3f(GLenum, GLfloat, GLfloat, GLfloat) {}
void APIENTRY NoMultiTexCoord4f(GLenum, GLfloat, GLfloat, GLfloat, GLfloat) {}
void APIENTRY NoActiveTexture(GLenum) {}
void APIENTRY NoClientActiveTexture(GLenum) {}

int clientWidth = 0, clientHeight = 0;
}  // namespace

PFNGLMULTITEXCOORD1FARBPROC LoadedMultiTexCoord1fARB = NoMultiTexCoord1f;
PFNGLMULTITEXCOORD2FARBPROC LoadedMultiTexCoord2fARB = NoMultiTexCoord2f;
PFNGLMULTITEXCOORD3FARBPROC LoadedMultiTexCoord3fARB = NoMultiTexCoord3f;
PFNGLMULTITEXCOORD4FARBPROC LoadedMultiTexCoord4fARB = NoMultiTexCoord4f;
PFNGLACTIVETEXTUREARBPROC LoadedActiveTextureARB = NoActiveTexture;
PFNGLCLIENTACTIVETEXTUREARBPROC LoadedClientActiveTextureARB = NoClientActiveTexture;
bool MultitextureReady = false;

bool ChangeDisplayMode(int width, int height) {
  // The desktop keeps its mode: the frame of width by height is scaled onto a
  // desktop-sized window. Only the failures that remain are reported.
  (void)width;
  (void)height;
  int desktopWidth = 0, desktopHeight = 0;
  if (!PlatformDesktopMode(&desktopWidth, &desktopHeight)) {
    PlatformMessageBox("Error", "Could Not Enum Display Settings");
    return true;
  }
  if (!PlatformPrepareFullscreen()) {
    PlatformMessageBox("Error", "Display Mode Not Compatible");
    return false;
  }
  return true;
}

PlatformWindow CreateDemoWindow(const char* title, int width, int height) {
  if (!ChangeDisplayMode(width, height)) return PlatformNoWindow;
  PlatformShowCursor(false);
  PlatformWindow window = PlatformCreateShowWindow(title, width, height, DemoPixelFormat,
                                                   ProgramIcon, ProgramIconSize);
  if (!window) return PlatformNoWindow;
  PlatformSetWindowProc(window, DemoWindowProc);
  PlatformFocusWindow(window);
  return window;
}

bool SetupPixelFormat(PlatformWindow dc) {
  switch (PlatformCreateContext(dc, DemoPixelFormat)) {
    case ContextReady:
      return true;
    case ContextNoFormat:
      PlatformMessageBox("Error", "ChoosePixelFormat failed");
      return false;
    case ContextCannotSet:
    default:
      PlatformMessageBox("Error", "SetPixelFormat failed");
      return false;
  }
}

InitGLResult InitGL(PlatformWindow window) {
  MainWindow = window;
  PlatformClientSize(window, &clientWidth, &clientHeight);
  MainDC = window;
  if (!SetupPixelFormat(MainDC)) return InitGLFailed;
  MainContext = true;
  SetProjection(clientWidth, clientHeight);
  glShadeModel(GL_SMOOTH);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glEnable(GL_TEXTURE_2D);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  EscapeRequested = false;
  return LoadExtensions() ? InitGLReady : InitGLMissingExtension;
}

void SetProjection(int width, int height) {
  if (height == 0) height = 1;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, (double)width / (double)height, 0.5, 2000.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

bool HasExtension(const char* list, const char* name) {
  if (!list || !name) return false;
  size_t length = strlen(name);
  const char* p = list;
  while (*p) {
    // One token: from here to the next line feed or the end of the list.
    size_t j = 0;
    for (; *p && *p != '\n'; p++) {
      if (j < length && *p == name[j]) j++;
      bool last = p[1] == '\0' || p[1] == '\n';
      if (j == length && last) return true;
    }
    if (*p == '\n') p++;
  }
  return false;
}

bool LoadExtensionsFrom(const char* extensions) {
  std::string copy = extensions ? extensions : "";
  for (char& c : copy)
    if (c == ' ') c = '\n';
  if (!HasExtension(copy.c_str(), "GL_ARB_multitexture") ||
      !HasExtension(copy.c_str(), "GL_EXT_texture_env_combine"))
    return false;
  auto m1 = (PFNGLMULTITEXCOORD1FARBPROC)PlatformGetProcAddress("glMultiTexCoord1fARB");
  auto m2 = (PFNGLMULTITEXCOORD2FARBPROC)PlatformGetProcAddress("glMultiTexCoord2fARB");
  auto m3 = (PFNGLMULTITEXCOORD3FARBPROC)PlatformGetProcAddress("glMultiTexCoord3fARB");
  auto m4 = (PFNGLMULTITEXCOORD4FARBPROC)PlatformGetProcAddress("glMultiTexCoord4fARB");
  auto active = (PFNGLACTIVETEXTUREARBPROC)PlatformGetProcAddress("glActiveTextureARB");
  auto client = (PFNGLCLIENTACTIVETEXTUREARBPROC)PlatformGetProcAddress("glClientActiveTextureARB");
  // A driver that names the extension but hands out no entry point keeps the do-nothing
  // ones: the second texture layer is then skipped rather than called through null.
  LoadedMultiTexCoord1fARB = m1 ? m1 : NoMultiTexCoord1f;
  LoadedMultiTexCoord2fARB = m2 ? m2 : NoMultiTexCoord2f;
  LoadedMultiTexCoord3fARB = m3 ? m3 : NoMultiTexCoord3f;
  LoadedMultiTexCoord4fARB = m4 ? m4 : NoMultiTexCoord4f;
  LoadedActiveTextureARB = active ? active : NoActiveTexture;
  LoadedClientActiveTextureARB = client ? client : NoClientActiveTexture;
  MultitextureReady = m2 && active;
  return true;
}

bool LoadExtensions() {
  const char* extensions = (const char*)glGetString(GL_EXTENSIONS);
  return LoadExtensionsFrom(extensions);
}

long DemoWindowProc(const PlatformMessage& message) {
  if (PlatformKeyDown(KeyEscape)) EscapeRequested = true;
  switch (message.type) {
    case MsgPaint:
    case MsgSize:
      return 0;
    case MsgClose:
      PlatformPostQuit();
      EscapeRequested = true;
      return 0;
    default:
      return PlatformDefWindowProc(message);
  }
}

void ShutdownGL() {
  if (MainContext) {
    PlatformDestroyContext();
    MainContext = false;
  }
  MainDC = PlatformNoWindow;
  // Gives the desktop back: the window goes, the cursor comes back.
  PlatformShowCursor(true);
  PlatformShutdownWindows();
}

void ShutdownAll() {
  StopSound();
  DeleteFont();
  ShutdownGL();
}
