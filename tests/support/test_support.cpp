// tests/support/test_support.cpp - the headless GL fixture and small helpers.
#include "tests/support/test_support.h"

#include <cstdio>
#include <filesystem>

#include "app/window.h"
#include "platform/platform.h"

void HeadlessGL::SetUpTestSuite() {
  if (!PlatformHasContext()) {
    PlatformSetMessageBoxesHeadless(true);
    ASSERT_TRUE(PlatformOpenHeadless(1024, 768)) << "no headless EGL context";
    LoadExtensions();
  }
}

void HeadlessGL::SetUp() {
  ASSERT_TRUE(PlatformHasContext());
  PlatformFrameSize(&width, &height);
  // The show's initial state, as InitGL leaves it.
  while (glGetError() != GL_NO_ERROR) {
  }
  glDisable(GL_BLEND);
  glDisable(GL_FOG);
  glDisable(GL_LIGHTING);
  glDisable(GL_CULL_FACE);
  glDepthMask(GL_TRUE);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glColor4f(1, 1, 1, 1);
  glBindTexture(GL_TEXTURE_2D, 0);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glBlendFunc(GL_ONE, GL_ZERO);
  SetProjection(width, height);
  glShadeModel(GL_SMOOTH);
  glClearColor(0, 0, 0, 0);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glEnable(GL_TEXTURE_2D);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

std::vector<uint8_t> HeadlessGL::Frame() {
  int w, h;
  return PlatformReadFrame(&w, &h);
}

Rgb HeadlessGL::Pixel(int x, int y) {
  uint8_t p[4] = {0, 0, 0, 0};
  GLint pack;
  glGetIntegerv(GL_PACK_ALIGNMENT, &pack);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, height - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  glPixelStorei(GL_PACK_ALIGNMENT, pack);
  return Rgb{p[0], p[1], p[2]};
}

uint32_t MakeTexture(int w, int h, Rgb (*colour)(int x, int y)) {
  std::vector<uint8_t> pixels((size_t)w * h * 3);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      Rgb c = colour(x, y);
      uint8_t* p = &pixels[((size_t)y * w + x) * 3];
      p[0] = (uint8_t)c.r;
      p[1] = (uint8_t)c.g;
      p[2] = (uint8_t)c.b;
    }
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, w, h, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glBindTexture(GL_TEXTURE_2D, 0);
  return name;
}

std::string FreshDirectory(const std::string& name) {
  std::filesystem::path dir = std::filesystem::path(TEST_SUPPORT_BINARY_DIR) / "scratch" / name;
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::filesystem::create_directories(dir, ec);
  return dir.string();
}

namespace {
CapturedMessages* capture = nullptr;
void CaptureBox(const char* caption, const char* text, void*) {
  if (capture) capture->boxes.push_back(std::string(caption) + ": " + text);
}
void CaptureLog(LogLevel, const char* tag, const char* text, void*) {
  if (capture) capture->logs.push_back(std::string(tag) + ": " + text);
}
}  // namespace

CapturedMessages::CapturedMessages() {
  capture = this;
  PlatformSetMessageBoxesHeadless(true);
  PlatformSetMessageBoxHook(CaptureBox, nullptr);
  SetLogSink(CaptureLog, nullptr);
}

CapturedMessages::~CapturedMessages() {
  capture = nullptr;
  PlatformSetMessageBoxHook(nullptr, nullptr);
  SetLogSink(nullptr, nullptr);
}
