// platform/messages.cpp - the window registry, the message queue and the key states.
//
// Window-system events are turned into messages one at a time: a peek polls SDL only
// when our own queue is empty, and takes at most one message off it. The key state that
// PlatformKeyDown reports is the state as of the last key message taken off the queue,
// the way a window procedure sees it.
#include <deque>

#include "platform/internal.h"

namespace {
enum { MaxWindows = 8 };
WindowRecord windows[MaxWindows + 1];  // index 0 is "no window"
std::deque<PlatformMessage> queue;
bool keyDown[KeyOtherKey + 1];

int TranslateKey(SDL_Keycode code) {
  switch (code) {
    case SDLK_ESCAPE: return KeyEscape;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return KeyReturn;
    case SDLK_SPACE: return KeySpace;
    case SDLK_F4: return KeyF4;
    default: return KeyOtherKey;
  }
}

int TranslateMods(uint16_t mods) {
  int m = 0;
  if (mods & KMOD_ALT) m |= ModAlt;
  if (mods & KMOD_SHIFT) m |= ModShift;
  if (mods & KMOD_CTRL) m |= ModCtrl;
  return m;
}

PlatformWindow FirstWindow() {
  for (int i = 1; i <= MaxWindows; i++)
    if (windows[i].kind == WindowKindShow) return i;
  for (int i = 1; i <= MaxWindows; i++)
    if (windows[i].kind != WindowKindFree) return i;
  return PlatformNoWindow;
}

// A button event carries the position of the last motion SDL saw. A window that appears
// under a pointer that never moves has seen none, and a click on it would land at (0, 0):
// ask the window system where the pointer is instead.
void PointerInWindow(PlatformWindow window, int* x, int* y) {
  WindowRecord* w = FindWindow(window);
  if (!w || !w->sdl) return;
  int gx = 0, gy = 0, wx = 0, wy = 0;
  SDL_GetGlobalMouseState(&gx, &gy);
  SDL_GetWindowPosition(w->sdl, &wx, &wy);
  *x = gx - wx;
  *y = gy - wy;
}

// One SDL event into at most one message. False when the event means nothing to us.
bool Translate(const SDL_Event& e, PlatformMessage* m) {
  *m = PlatformMessage();
  switch (e.type) {
    case SDL_QUIT:
      // A terminal's interrupt or the session ending: a close request to our main window.
      // (Closing a window's close box arrives as its own window event first.)
      m->window = FirstWindow();
      m->type = MsgClose;
      return m->window != PlatformNoWindow;
    case SDL_WINDOWEVENT:
      m->window = WindowFromSdlId(e.window.windowID);
      if (!m->window) return false;
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: m->type = MsgClose; return true;
        case SDL_WINDOWEVENT_EXPOSED: m->type = MsgPaint; return true;
        case SDL_WINDOWEVENT_SIZE_CHANGED: m->type = MsgSize; return true;
        default: m->type = MsgOther; return true;
      }
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      m->window = WindowFromSdlId(e.key.windowID);
      if (!m->window) m->window = FirstWindow();
      m->type = e.type == SDL_KEYDOWN ? MsgKeyDown : MsgKeyUp;
      m->key = TranslateKey(e.key.keysym.sym);
      m->mods = TranslateMods(e.key.keysym.mod);
      return m->window != PlatformNoWindow;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (e.button.button != SDL_BUTTON_LEFT) return false;
      m->window = WindowFromSdlId(e.button.windowID);
      m->type = e.type == SDL_MOUSEBUTTONDOWN ? MsgMouseDown : MsgMouseUp;
      m->x = e.button.x;
      m->y = e.button.y;
      PointerInWindow(m->window, &m->x, &m->y);
      return m->window != PlatformNoWindow;
    case SDL_MOUSEMOTION:
      m->window = WindowFromSdlId(e.motion.windowID);
      m->type = MsgMouseMove;
      m->x = e.motion.x;
      m->y = e.motion.y;
      return m->window != PlatformNoWindow;
    default:
      return false;
  }
}

void NoteKeys(const PlatformMessage& m) {
  if (m.type != MsgKeyDown && m.type != MsgKeyUp) return;
  if (m.key > KeyNone && m.key <= KeyOtherKey) keyDown[m.key] = m.type == MsgKeyDown;
}

bool TakeQueued(PlatformMessage* message) {
  if (queue.empty()) return false;
  *message = queue.front();
  queue.pop_front();
  NoteKeys(*message);
  return true;
}

// Polls window-system events until one becomes a message (queued) or none is left.
void PollOne() {
  if (!PlatformVideoStarted()) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    PlatformMessage m;
    if (Translate(e, &m)) {
      queue.push_back(m);
      return;
    }
  }
}
}  // namespace

PlatformWindow RegisterWindow(WindowKind kind, SDL_Window* sdl) {
  for (int i = 1; i <= MaxWindows; i++) {
    if (windows[i].kind == WindowKindFree) {
      windows[i] = WindowRecord();
      windows[i].kind = kind;
      windows[i].sdl = sdl;
      return i;
    }
  }
  return PlatformNoWindow;
}

WindowRecord* FindWindow(PlatformWindow window) {
  if (window < 1 || window > MaxWindows || windows[window].kind == WindowKindFree) return nullptr;
  return &windows[window];
}

PlatformWindow WindowFromSdlId(uint32_t id) {
  for (int i = 1; i <= MaxWindows; i++)
    if (windows[i].sdl && SDL_GetWindowID(windows[i].sdl) == id) return i;
  return PlatformNoWindow;
}

void ReleaseWindow(PlatformWindow window) {
  if (WindowRecord* w = FindWindow(window)) *w = WindowRecord();
  // Messages still queued for it go nowhere.
  for (auto& m : queue)
    if (m.window == window && m.type != MsgQuit) m.window = PlatformNoWindow;
}

bool PlatformPeekMessage(PlatformMessage* message) {
  if (queue.empty()) PollOne();
  return TakeQueued(message);
}

bool PlatformGetMessage(PlatformMessage* message) {
  for (;;) {
    if (queue.empty()) {
      if (PlatformVideoStarted()) {
        SDL_Event e;
        if (SDL_WaitEventTimeout(&e, 100)) {
          PlatformMessage m;
          if (Translate(e, &m)) queue.push_back(m);
        }
      } else {
        // Nothing can ever arrive from a window system; the caller would wait forever.
        PlatformMessage quit;
        quit.type = MsgQuit;
        queue.push_back(quit);
        LogWarn("platform", "waiting for messages without a window system; quitting");
      }
    }
    if (TakeQueued(message)) return message->type != MsgQuit;
  }
}

long PlatformDispatchMessage(const PlatformMessage& message) {
  WindowRecord* w = FindWindow(message.window);
  if (!w) return 0;
  if (w->kind == WindowKindLauncher && LauncherHandleControls(message.window, message)) return 0;
  w = FindWindow(message.window);  // a control may have ended the window
  if (!w) return 0;
  if (w->proc) return w->proc(message);
  return PlatformDefWindowProc(message);
}

long PlatformDefWindowProc(const PlatformMessage& message) {
  if (message.type == MsgKeyDown && message.key == KeyF4 && (message.mods & ModAlt)) {
    PlatformMessage close;
    close.window = message.window;
    close.type = MsgClose;
    queue.push_back(close);
  }
  return 0;
}

void PlatformPostMessage(const PlatformMessage& message) { queue.push_back(message); }

void PlatformPostQuit() {
  PlatformMessage quit;
  quit.type = MsgQuit;
  queue.push_back(quit);
}

bool PlatformKeyDown(PlatformKey key) {
  if (key <= KeyNone || key > KeyOtherKey) return false;
  return keyDown[key];
}

void PlatformSetWindowProc(PlatformWindow window, PlatformWindowProc proc) {
  if (WindowRecord* w = FindWindow(window)) w->proc = proc;
}

void PlatformResetMessages() {
  queue.clear();
  for (bool& k : keyDown) k = false;
  if (PlatformVideoStarted()) SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}
