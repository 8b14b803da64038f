// platform/launcher.cpp - the launcher: a small fixed-size window holding a picture with a
// thin border and one push button with a text label, drawn in software on the window's
// surface in the look of a classic dialog.
//
// The button behaves like a dialog push button: pressing the mouse on it shows it pushed,
// moving off and on again follows the mouse, and releasing it over the button sends a
// command message with the button's id to the window's procedure. Keys are not handled
// (the launcher runs a plain message loop, so Enter and Escape do nothing).
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/internal.h"

struct LauncherState {
  LauncherLayout layout;
  std::string title, buttonText;
  SDL_Surface* picture = nullptr;
  bool tracking = false;  // the mouse went down on the button and is still down
  bool pushed = false;    // tracking and over the button
  // The label, rendered once: coverage values and the label's box.
  std::vector<uint8_t> label;
  int labelWidth = 0, labelHeight = 0, labelBaseline = 0;
};

namespace {
const SDL_Color Face = {212, 208, 200, 255};
const SDL_Color Highlight = {255, 255, 255, 255};
const SDL_Color Light = {232, 230, 226, 255};
const SDL_Color Shadow = {128, 128, 128, 255};
const SDL_Color DarkShadow = {64, 64, 64, 255};
const SDL_Color Black = {0, 0, 0, 255};

// The dialog font: 8 points at 96 dots per inch. The classic sans serif of dialogs is
// asked for first; fontconfig answers with the nearest font the machine has.
std::string FindDialogFont() {
  std::string path;
  // A configuration of its own, destroyed after the lookup: fontconfig's default one would
  // live (and hold its memory) until the process ends.
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (!config) return path;
  FcPattern* pattern = FcNameParse((const FcChar8*)"MS Sans Serif");
  if (!pattern) {
    FcConfigDestroy(config);
    return path;
  }
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  if (match) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
      path = (const char*)file;
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  FcConfigDestroy(config);
  return path;
}

void RenderLabel(LauncherState* s) {
  std::string fontPath = FindDialogFont();
  FT_Library library;
  if (fontPath.empty() || FT_Init_FreeType(&library) != 0) {
    LogWarn("launcher", "no font for the button label");
    return;
  }
  FT_Face face;
  if (FT_New_Face(library, fontPath.c_str(), 0, &face) != 0) {
    LogWarn("launcher", "cannot open font %s", fontPath.c_str());
    FT_Done_FreeType(library);
    return;
  }
  FT_Set_Pixel_Sizes(face, 0, 11);
  int ascent = (int)(face->size->metrics.ascender >> 6);
  int descent = (int)(-face->size->metrics.descender >> 6);
  int width = 0;
  for (unsigned char c : s->buttonText) {
    if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) == 0) width += (int)(face->glyph->advance.x >> 6);
  }
  s->labelWidth = width;
  s->labelHeight = ascent + descent;
  s->labelBaseline = ascent;
  s->label.assign((size_t)std::max(width, 0) * std::max(s->labelHeight, 0), 0);
  int pen = 0;
  for (unsigned char c : s->buttonText) {
    if (FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) continue;
    FT_GlyphSlot g = face->glyph;
    for (unsigned row = 0; row < g->bitmap.rows; row++) {
      for (unsigned col = 0; col < g->bitmap.width; col++) {
        int x = pen + g->bitmap_left + (int)col;
        int y = ascent - g->bitmap_top + (int)row;
        if (x < 0 || y < 0 || x >= s->labelWidth || y >= s->labelHeight) continue;
        uint8_t v = g->bitmap.buffer[row * g->bitmap.pitch + col];
        uint8_t& d = s->label[(size_t)y * s->labelWidth + x];
        if (v > d) d = v;
      }
    }
    pen += (int)(g->advance.x >> 6);
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}

void Fill(SDL_Surface* surface, int x, int y, int w, int h, SDL_Color c) {
  SDL_Rect r = {x, y, w, h};
  SDL_FillRect(surface, &r, SDL_MapRGB(surface->format, c.r, c.g, c.b));
}

// A one-pixel frame: top and left in one colour, bottom and right in another.
void Frame(SDL_Surface* surface, int x, int y, int w, int h, SDL_Color topLeft,
           SDL_Color bottomRight) {
  Fill(surface, x, y, w, 1, topLeft);
  Fill(surface, x, y, 1, h, topLeft);
  Fill(surface, x, y + h - 1, w, 1, bottomRight);
  Fill(surface, x + w - 1, y, 1, h, bottomRight);
}

bool InButton(const LauncherState* s, int x, int y) {
  const LauncherLayout& l = s->layout;
  return x >= l.buttonX && y >= l.buttonY && x < l.buttonX + l.buttonWidth &&
         y < l.buttonY + l.buttonHeight;
}

void DrawLabel(SDL_Surface* surface, const LauncherState* s, int left, int top) {
  if (s->label.empty() || SDL_LockSurface(surface) != 0) return;
  SDL_PixelFormat* f = surface->format;
  for (int y = 0; y < s->labelHeight; y++) {
    int sy = top + y;
    if (sy < 0 || sy >= surface->h) continue;
    for (int x = 0; x < s->labelWidth; x++) {
      int sx = left + x;
      uint8_t a = s->label[(size_t)y * s->labelWidth + x];
      if (sx < 0 || sx >= surface->w || a == 0) continue;
      uint8_t* p = (uint8_t*)surface->pixels + (size_t)sy * surface->pitch + sx * f->BytesPerPixel;
      uint32_t pixel = 0;
      memcpy(&pixel, p, f->BytesPerPixel);
      uint8_t r, g, b;
      SDL_GetRGB(pixel, f, &r, &g, &b);
      // Black text: the coverage darkens the face.
      r = (uint8_t)(r * (255 - a) / 255);
      g = (uint8_t)(g * (255 - a) / 255);
      b = (uint8_t)(b * (255 - a) / 255);
      pixel = SDL_MapRGB(f, r, g, b);
      memcpy(p, &pixel, f->BytesPerPixel);
    }
  }
  SDL_UnlockSurface(surface);
}

void Paint(SDL_Window* window, LauncherState* s) {
  SDL_Surface* surface = SDL_GetWindowSurface(window);
  if (!surface) return;
  const LauncherLayout& l = s->layout;
  Fill(surface, 0, 0, surface->w, surface->h, Face);
  // The picture at its real size inside a one-pixel black border.
  if (s->picture) {
    Frame(surface, l.pictureX, l.pictureY, s->picture->w + 2, s->picture->h + 2, Black, Black);
    SDL_Rect to = {l.pictureX + 1, l.pictureY + 1, s->picture->w, s->picture->h};
    SDL_BlitSurface(s->picture, nullptr, surface, &to);
  }
  int x = l.buttonX, y = l.buttonY, w = l.buttonWidth, h = l.buttonHeight;
  Fill(surface, x, y, w, h, Face);
  if (l.buttonDefault) {
    Frame(surface, x, y, w, h, Black, Black);
    x++, y++, w -= 2, h -= 2;
  }
  if (s->pushed) {
    Frame(surface, x, y, w, h, Shadow, Shadow);
  } else {
    Frame(surface, x, y, w, h, Highlight, DarkShadow);
    Frame(surface, x + 1, y + 1, w - 2, h - 2, Light, Shadow);
  }
  int shift = s->pushed ? 1 : 0;
  DrawLabel(surface, s, l.buttonX + (l.buttonWidth - s->labelWidth) / 2 + shift,
            l.buttonY + (l.buttonHeight - s->labelHeight) / 2 + shift);
  SDL_UpdateWindowSurface(window);
}
}  // namespace

PlatformWindow PlatformCreateLauncher(const LauncherLayout& layout, const uint8_t* bitmap,
                                      size_t bitmapSize, const uint8_t* icon, size_t iconSize) {
  if (!PlatformEnsureVideo()) return PlatformNoWindow;
  SDL_Window* sdl = SDL_CreateWindow(layout.title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                     layout.clientWidth, layout.clientHeight, SDL_WINDOW_HIDDEN);
  if (!sdl) {
    LogError("launcher", "cannot create the launcher: %s", SDL_GetError());
    return PlatformNoWindow;
  }
  PlatformWindow window = RegisterWindow(WindowKindLauncher, sdl);
  if (!window) {
    SDL_DestroyWindow(sdl);
    return PlatformNoWindow;
  }
  LauncherState* s = new LauncherState;
  s->layout = layout;
  s->title = layout.title ? layout.title : "";
  s->buttonText = layout.buttonText ? layout.buttonText : "";
  s->layout.title = s->title.c_str();
  s->layout.buttonText = s->buttonText.c_str();
  if (bitmap && bitmapSize > 0 && bitmapSize <= (size_t)INT32_MAX) {
    SDL_RWops* rw = SDL_RWFromConstMem(bitmap, (int)bitmapSize);
    s->picture = rw ? SDL_LoadBMP_RW(rw, 1) : nullptr;
    if (!s->picture) LogWarn("launcher", "the launcher picture is unreadable: %s", SDL_GetError());
  }
  if (SDL_Surface* iconSurface = DecodeIcon(icon, iconSize)) {
    SDL_SetWindowIcon(sdl, iconSurface);
    SDL_FreeSurface(iconSurface);
  }
  RenderLabel(s);
  FindWindow(window)->launcher = s;
  return window;
}

void LauncherDestroy(LauncherState* s) {
  if (!s) return;
  if (s->picture) SDL_FreeSurface(s->picture);
  delete s;
}

bool LauncherHandleControls(PlatformWindow window, const PlatformMessage& m) {
  WindowRecord* w = FindWindow(window);
  if (!w || !w->launcher) return false;
  LauncherState* s = w->launcher;
  switch (m.type) {
    case MsgPaint:
      Paint(w->sdl, s);
      return true;
    case MsgMouseDown:
      if (!InButton(s, m.x, m.y)) return false;
      s->tracking = s->pushed = true;
      SDL_CaptureMouse(SDL_TRUE);
      Paint(w->sdl, s);
      return true;
    case MsgMouseMove:
      if (!s->tracking) return false;
      if (s->pushed != InButton(s, m.x, m.y)) {
        s->pushed = !s->pushed;
        Paint(w->sdl, s);
      }
      return true;
    case MsgMouseUp: {
      if (!s->tracking) return false;
      bool clicked = InButton(s, m.x, m.y);
      s->tracking = s->pushed = false;
      SDL_CaptureMouse(SDL_FALSE);
      Paint(w->sdl, s);
      if (clicked && w->proc) {
        PlatformMessage command;
        command.window = window;
        command.type = MsgCommand;
        command.id = s->layout.buttonId;
        w->proc(command);
      }
      return true;
    }
    default:
      return false;
  }
}

void PlatformMoveWindow(PlatformWindow window, int x, int y) {
  WindowRecord* w = FindWindow(window);
  if (!w || !w->sdl) return;
  // The position names the outer frame's corner; SDL places the client area.
  w->placed = true;
  w->placedX = x;
  w->placedY = y;
  int top = 0, left = 0, bottom = 0, right = 0;
  SDL_GetWindowBordersSize(w->sdl, &top, &left, &bottom, &right);
  SDL_SetWindowPosition(w->sdl, x + left, y + top);
  if (w->launcher && (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_SHOWN)) Paint(w->sdl, w->launcher);
}

void PlatformShowWindow(PlatformWindow window, bool shown) {
  WindowRecord* w = FindWindow(window);
  if (!w || !w->sdl) return;
  if (shown) {
    SDL_ShowWindow(w->sdl);
    // Mapping a window may let the window system place it anew; a window that was moved
    // keeps its place, measured with the frame it has now that it is shown.
    if (w->placed) {
      int top = 0, left = 0, bottom = 0, right = 0;
      SDL_GetWindowBordersSize(w->sdl, &top, &left, &bottom, &right);
      SDL_SetWindowPosition(w->sdl, w->placedX + left, w->placedY + top);
    }
    if (w->launcher) Paint(w->sdl, w->launcher);
  } else {
    SDL_HideWindow(w->sdl);
  }
}

void PlatformGetWindowRect(PlatformWindow window, int* x, int* y, int* width, int* height) {
  *x = *y = *width = *height = 0;
  WindowRecord* w = FindWindow(window);
  if (!w || !w->sdl) return;
  int top = 0, left = 0, bottom = 0, right = 0;
  SDL_GetWindowBordersSize(w->sdl, &top, &left, &bottom, &right);
  int cx, cy, cw, ch;
  SDL_GetWindowPosition(w->sdl, &cx, &cy);
  SDL_GetWindowSize(w->sdl, &cw, &ch);
  *x = cx - left;
  *y = cy - top;
  *width = cw + left + right;
  *height = ch + top + bottom;
}

void PlatformDestroyWindow(PlatformWindow window) {
  WindowRecord* w = FindWindow(window);
  if (!w) return;
  LauncherDestroy(w->launcher);
  if (w->sdl) SDL_DestroyWindow(w->sdl);
  ReleaseWindow(window);
}
