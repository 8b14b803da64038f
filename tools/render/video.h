// tools/render/video.h - H.264 video through the ffmpeg command.
//
// Owns: finding ffmpeg, the encoder process fed converted frames through a pipe (it
// encodes while the show renders, on the other core), and the final step that muxes the
// mixed music (a WAV file) into the MP4. The encoder writes FILE.video.mp4 beside FILE
// and the music goes to FILE.audio.wav; the mux then writes FILE, and both temporary
// files are removed whatever happened.
// Called by: tools/render/capture.cpp and main.cpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/render/frame_yuv.h"

// True when an executable of that name is on the PATH.
bool CommandOnPath(const char* name);

class VideoEncoder {
 public:
  // Starts ffmpeg for frames of width by height at fps, padded to padWidth by padHeight
  // (0: no padding). False with a message on standard error.
  bool Open(const std::string& path, int width, int height, int fps, int padWidth,
            int padHeight);
  // One frame, RGBA rows from the top. False once ffmpeg has gone.
  bool Write(const uint8_t* rgba);
  // Ends the encoding and muxes the sound track. False with a message when any step failed.
  bool Finish(const std::vector<int16_t>& stereo, int rate);
  ~VideoEncoder();

 private:
  std::string path, videoPath, audioPath;
  FILE* pipe = nullptr;
  YuvLayout layout;
  std::vector<uint8_t> converted;
  bool failed = false;
};

// Quotes a string for /bin/sh.
std::string ShellQuote(const std::string& text);
