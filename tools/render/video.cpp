// tools/render/video.cpp - the ffmpeg encoder and muxer.
#include "tools/render/video.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tools/render/audio_mix.h"
#include "tools/render/frame_yuv.h"

bool CommandOnPath(const char* name) {
  const char* path = getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  for (;;) {
    size_t colon = dirs.find(':', start);
    std::string dir = dirs.substr(start, colon == std::string::npos ? colon : colon - start);
    std::string file = (dir.empty() ? "." : dir) + "/" + name;
    struct stat st;
    if (stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(file.c_str(), X_OK) == 0)
      return true;
    if (colon == std::string::npos) return false;
    start = colon + 1;
  }
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool VideoEncoder::Open(const std::string& file, int width, int height, int fps, int padWidth,
                        int padHeight) {
  path = file;
  videoPath = file + ".video.mp4";
  audioPath = file + ".audio.wav";
  if (!PlanYuvLayout(width, height, padWidth, padHeight, &layout)) {
    fprintf(stderr,
            "vellumar2-render: a %dx%d video cannot hold %dx%d frames (its sides must be "
            "even)\n",
            padWidth > 0 ? padWidth : width, padHeight > 0 ? padHeight : height, width, height);
    return false;
  }
  // A vanished ffmpeg must show up as a failed write, not end this program.
  signal(SIGPIPE, SIG_IGN);
  // The frames arrive converted and padded (tools/render/frame_yuv.h): ffmpeg only encodes.
  std::string command = "ffmpeg -hide_banner -loglevel error -nostdin -y -f rawvideo -pix_fmt yuv420p";
  command += " -video_size " + std::to_string(layout.width) + "x" + std::to_string(layout.height);
  command += " -framerate " + std::to_string(fps) + " -i -";
  // The encoder shares two cores with the renderer, which keeps both busy: ultrafast
  // needs half the encoding time of superfast for files about 1.7 times as large, and a
  // capture takes an eighth less time; crf 18 is visually lossless for pictures like these.
  command += " -c:v libx264 -preset ultrafast -crf 18 -pix_fmt yuv420p -movflags +faststart ";
  command += ShellQuote(videoPath);
  pipe = popen(command.c_str(), "w");
  if (!pipe) {
    fprintf(stderr, "vellumar2-render: cannot start ffmpeg: %s\n", strerror(errno));
    return false;
  }
  return true;
}

bool VideoEncoder::Write(const uint8_t* rgba) {
  if (!pipe || failed) return false;
  RgbaToYuv420(rgba, layout, &converted);
  if (fwrite(converted.data(), 1, converted.size(), pipe) != converted.size()) {
    fprintf(stderr, "vellumar2-render: ffmpeg stopped taking frames (see its message above)\n");
    failed = true;
  }
  return !failed;
}

bool VideoEncoder::Finish(const std::vector<int16_t>& stereo, int rate) {
  if (!pipe) return false;
  int status = pclose(pipe);
  pipe = nullptr;
  bool ok = !failed && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!ok && !failed) fprintf(stderr, "vellumar2-render: ffmpeg could not encode %s\n", path.c_str());
  if (ok && !WriteWav(audioPath, stereo, rate)) {
    fprintf(stderr, "vellumar2-render: cannot write %s\n", audioPath.c_str());
    ok = false;
  }
  if (ok) {
    std::string command = "ffmpeg -hide_banner -loglevel error -nostdin -y -i " +
                          ShellQuote(videoPath) + " -i " + ShellQuote(audioPath) +
                          " -map 0:v -map 1:a -c:v copy -c:a aac -b:a 192k -movflags +faststart " +
                          ShellQuote(path);
    int result = system(command.c_str());
    if (result != 0) {
      fprintf(stderr, "vellumar2-render: ffmpeg could not add the music to %s\n", path.c_str());
      ok = false;
    }
  }
  unlink(videoPath.c_str());
  unlink(audioPath.c_str());
  return ok;
}

VideoEncoder::~VideoEncoder() {
  if (pipe) pclose(pipe);
  if (!videoPath.empty()) unlink(videoPath.c_str());
}
