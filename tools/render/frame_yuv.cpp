// tools/render/frame_yuv.cpp - RGBA frames to planar 4:2:0 YUV.
#include "tools/render/frame_yuv.h"

#include <cstring>

namespace {

// BT.601 in video range with 16 fraction bits: Y from 16 to 235, U and V from 16 to 240.
// Each chroma row of weights sums to zero, so greys have no colour exactly.
constexpr int32_t YR = 16829, YG = 33039, YB = 6416;
constexpr int32_t UR = -9714, UG = -19070, UB = 28784;
constexpr int32_t VR = 28784, VG = -24103, VB = -4681;

inline uint8_t Luma(const uint8_t* p) {
  return (uint8_t)((YR * p[0] + YG * p[1] + YB * p[2] + (16 << 16) + (1 << 15)) >> 16);
}

// r, g, b: sums over four pixels.
inline uint8_t Chroma(int32_t wr, int32_t wg, int32_t wb, int32_t r, int32_t g, int32_t b) {
  return (uint8_t)((wr * r + wg * g + wb * b + (128 << 18) + (1 << 17)) >> 18);
}

}  // namespace

bool PlanYuvLayout(int width, int height, int videoWidth, int videoHeight, YuvLayout* layout) {
  if (videoWidth <= 0 || videoHeight <= 0) videoWidth = width, videoHeight = height;
  if (width <= 0 || height <= 0 || videoWidth % 2 || videoHeight % 2 || videoWidth < width ||
      videoHeight < height)
    return false;
  layout->width = videoWidth;
  layout->height = videoHeight;
  layout->pictureWidth = width;
  layout->pictureHeight = height;
  layout->left = (videoWidth - width) / 2;
  layout->top = (videoHeight - height) / 2;
  return true;
}

size_t YuvFrameBytes(const YuvLayout& layout) {
  size_t luma = (size_t)layout.width * layout.height;
  return luma + luma / 2;
}

void RgbaToYuv420(const uint8_t* rgba, const YuvLayout& layout, std::vector<uint8_t>* out) {
  const int w = layout.width, h = layout.height;
  out->resize(YuvFrameBytes(layout));
  uint8_t* lumaPlane = out->data();
  uint8_t* uPlane = lumaPlane + (size_t)w * h;
  uint8_t* vPlane = uPlane + (size_t)w * h / 4;
  const bool padded = layout.pictureWidth != w || layout.pictureHeight != h;
  // A padded frame is first laid on black in a full-size picture: the conversion below
  // then needs no edge cases, and the padding costs one copy of rows. The black around
  // the picture stays from one frame to the next while the layout does.
  static std::vector<uint8_t> canvas;
  static YuvLayout canvasLayout;
  const uint8_t* src = rgba;
  if (padded) {
    const YuvLayout& c = canvasLayout;
    if (c.width != w || c.height != h || c.pictureWidth != layout.pictureWidth ||
        c.pictureHeight != layout.pictureHeight || c.left != layout.left || c.top != layout.top) {
      canvas.assign((size_t)w * h * 4, 0);
      canvasLayout = layout;
    }
    for (int y = 0; y < layout.pictureHeight; y++)
      memcpy(&canvas[((size_t)(y + layout.top) * w + layout.left) * 4],
             rgba + (size_t)y * layout.pictureWidth * 4, (size_t)layout.pictureWidth * 4);
    src = canvas.data();
  }
  for (int y = 0; y < h; y += 2) {
    const uint8_t* row0 = src + (size_t)y * w * 4;
    const uint8_t* row1 = row0 + (size_t)w * 4;
    uint8_t* y0 = lumaPlane + (size_t)y * w;
    uint8_t* y1 = y0 + w;
    for (int x = 0; x < w; x++) {
      y0[x] = Luma(row0 + x * 4);
      y1[x] = Luma(row1 + x * 4);
    }
    uint8_t* u = uPlane + (size_t)(y / 2) * (w / 2);
    uint8_t* v = vPlane + (size_t)(y / 2) * (w / 2);
    for (int x = 0; x < w / 2; x++) {
      const uint8_t* a = row0 + x * 8;
      const uint8_t* b = row1 + x * 8;
      int32_t r = a[0] + a[4] + b[0] + b[4];
      int32_t g = a[1] + a[5] + b[1] + b[5];
      int32_t bl = a[2] + a[6] + b[2] + b[6];
      u[x] = Chroma(UR, UG, UB, r, g, bl);
      v[x] = Chroma(VR, VG, VB, r, g, bl);
    }
  }
}
