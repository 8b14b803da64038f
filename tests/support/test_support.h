// tests/support/test_support.h - shared helpers for the test programs.
//
// HeadlessGL: a fixture with a headless GL context (EGL, surfaceless Mesa) and the show's
// initial GL state, for tests that check what is drawn by its pixels. The context is made
// once per test program and reused; each test starts from the initial state of InitGL.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/gl.h"

struct Rgb {
  int r, g, b;
};

class HeadlessGL : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  // The pixel of the frame at (x, y), with y counted from the top.
  Rgb Pixel(int x, int y);
  // The whole frame, RGBA rows from the top.
  std::vector<uint8_t> Frame();
  int width = 0, height = 0;
};

// Creates an RGB texture of w by h from a function of (x, y) -> colour (y = 0 is the top
// row, as in a picture file); returns the texture name. Linear filtering, no mipmaps.
uint32_t MakeTexture(int w, int h, Rgb (*colour)(int x, int y));

// A fresh empty directory under the test binary directory; removed and recreated.
std::string FreshDirectory(const std::string& name);

// Captures log lines and message boxes while alive.
struct CapturedMessages {
  CapturedMessages();
  ~CapturedMessages();
  std::vector<std::string> boxes;  // "caption: text"
  std::vector<std::string> logs;   // "tag: text"
};
