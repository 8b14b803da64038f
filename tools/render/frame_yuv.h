// tools/render/frame_yuv.h - frames to the encoder's own pixel layout.
//
// Owns: the conversion of RGBA frames to planar 4:2:0 YUV (BT.601, video range), the
// layout H.264 stores, with the picture centred on black when the video is larger. Done
// here, where it costs a fraction of what the encoder's general converter spends, and
// the pipe then carries 1.5 bytes a pixel instead of 4.
// Called by: tools/render/video.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct YuvLayout {
  int width = 0, height = 0;            // the video, both even
  int pictureWidth = 0, pictureHeight = 0;  // the frame inside it
  int left = 0, top = 0;                // where the frame sits
};

// The frame centred in a video of videoWidth by videoHeight (0: the frame's own size).
// False when the video is not even in both directions or cannot hold the frame.
bool PlanYuvLayout(int width, int height, int videoWidth, int videoHeight, YuvLayout* layout);

// Bytes of one converted video frame: the Y plane, then U, then V.
size_t YuvFrameBytes(const YuvLayout& layout);

// Converts RGBA rows from the top (alpha ignored) into out, resized to YuvFrameBytes.
// Each chroma sample is the mean of its two by two pixels; the black around the picture
// is part of that mean where a block straddles the edge. A padded frame is laid out in
// a scratch picture kept between calls (a capture converts every frame at one size).
void RgbaToYuv420(const uint8_t* rgba, const YuvLayout& layout, std::vector<uint8_t>* out);
