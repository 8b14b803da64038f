// platform/sound.cpp - SDL audio output fed by a decoder thread running libmpg123.
//
// Three threads meet here. The caller's (main) thread only posts commands to the decoder
// thread through a lock-free queue and sets atomics; it never takes a lock that another
// thread holds, so it never waits on decoding or on the device. The decoder thread
// owns every mpg123 handle and resampler: it opens, rewinds and decodes streams and fills
// a ring of 16-bit stereo frames. SDL's audio thread takes frames from the ring in its
// callback and applies the channel volume. Only the decoder and the callback share the
// ring, under a mutex held for one copy at a time.
//
// Every play or stop on channel 0 advances a generation counter. The ring is tagged with
// the generation its frames belong to; while the tag lags behind (the decoder has not yet
// seen the command) the callback plays silence, so a stop silences the output from the
// next buffer on and a new track never starts with the tail of the old one.
#include "platform/sound.h"

#include <SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

struct SoundStream {
  std::string path;
  // From here on, touched by the decoder thread only (and by SoundClose once it has stopped).
  mpg123_handle* decoder = nullptr;
  SDL_AudioStream* resampler = nullptr;  // null while the file's rate is the mix rate
  long rate = 0;
  bool failed = false;    // did not open or decode: plays as silence
  bool finished = false;  // the end of the file was reached
  int emptyReads = 0;     // reads in a row that gave no samples and no end
};

namespace {

const int RingFrames = 16384;    // about 0.37 s at 44100 Hz
const int DecodeFrames = 4096;   // frames asked of mpg123 per read
const int DeviceFrames = 1024;   // frames per device buffer, about 23 ms
const uint32_t CommandSlots = 256;  // far more than a show posts between two decoder wakes

enum CommandType { CommandPlay, CommandStop, CommandClose };
struct Command {
  CommandType type;
  SoundStream* stream;
  uint32_t generation;
};

struct SoundState {
  SDL_AudioDeviceID device = 0;
  SDL_Thread* thread = nullptr;
  int mixRate = SoundMixRate;

  // Commands from the main thread (the only writer of commandHead) to the decoder thread
  // (the only writer of commandTail). Posting never blocks; the semaphore wakes the decoder.
  std::array<Command, CommandSlots> commands;
  std::atomic<uint32_t> commandHead{0}, commandTail{0};
  std::counting_semaphore<> wake{0};
  std::atomic<bool> quit{false};

  std::atomic<uint32_t> generation{0};
  std::atomic<int> volume{255};

  std::mutex ringMutex;  // guards the ring and its tag
  std::vector<int16_t> ring = std::vector<int16_t>((size_t)RingFrames * 2);
  size_t ringRead = 0, ringCount = 0;  // frames
  uint32_t ringGeneration = 0;

  // Main thread only.
  std::vector<SoundStream*> streams;  // every open stream
  SoundStream* playing = nullptr;     // what channel 0 was last asked to play
};

SoundState* state = nullptr;  // null while the layer is not started
std::atomic<bool> analyserActive{false};

void AudioCallback(void* user, Uint8* out, int length) {
  SoundState* s = static_cast<SoundState*>(user);
  int16_t* samples = reinterpret_cast<int16_t*>(out);
  size_t frames = (size_t)length / 4, copied = 0;
  int volume = s->volume.load(std::memory_order_relaxed);
  {
    std::lock_guard<std::mutex> lock(s->ringMutex);
    if (s->ringGeneration == s->generation.load(std::memory_order_acquire)) {
      copied = std::min(frames, s->ringCount);
      for (size_t i = 0; i < copied; i++) {
        size_t at = ((s->ringRead + i) % RingFrames) * 2;
        samples[i * 2] = (int16_t)(s->ring[at] * volume / 255);
        samples[i * 2 + 1] = (int16_t)(s->ring[at + 1] * volume / 255);
      }
      s->ringRead = (s->ringRead + copied) % RingFrames;
      s->ringCount -= copied;
    }
  }
  std::memset(samples + copied * 2, 0, (frames - copied) * 4);
}

// --- Decoder thread -------------------------------------------------------------------

void ReleaseDecoder(SoundStream* stream) {
  if (stream->resampler) SDL_FreeAudioStream(stream->resampler);
  if (stream->decoder) {
    mpg123_close(stream->decoder);
    mpg123_delete(stream->decoder);
  }
  stream->resampler = nullptr;
  stream->decoder = nullptr;
}

bool SetRate(SoundStream* stream, long rate, int mixRate) {
  if (stream->resampler) SDL_FreeAudioStream(stream->resampler);
  stream->resampler = nullptr;
  stream->rate = rate;
  if (rate == mixRate) return true;
  stream->resampler =
      SDL_NewAudioStream(AUDIO_S16SYS, 2, (int)rate, AUDIO_S16SYS, 2, mixRate);
  if (!stream->resampler) {
    LogWarn("sound", "%s: cannot resample %ld Hz: %s", stream->path.c_str(), rate, SDL_GetError());
    return false;
  }
  return true;
}

// Opens the decoder on first use. Output is 16-bit stereo at the file's own rate: every
// rate mpg123 knows is allowed, with two channels only, so mono files come out doubled.
bool EnsureDecoder(SoundStream* stream, int mixRate) {
  if (stream->failed) return false;
  if (stream->decoder) return true;
  int error = MPG123_OK;
  stream->decoder = mpg123_new(nullptr, &error);
  if (!stream->decoder) {
    LogWarn("sound", "%s: no MP3 decoder: %s", stream->path.c_str(), mpg123_plain_strerror(error));
    stream->failed = true;
    return false;
  }
  mpg123_param(stream->decoder, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
  mpg123_format_none(stream->decoder);
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; i++)
    mpg123_format(stream->decoder, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);
  long rate = 0;
  int channels = 0, encoding = 0;
  if (mpg123_open(stream->decoder, stream->path.c_str()) != MPG123_OK ||
      mpg123_getformat(stream->decoder, &rate, &channels, &encoding) != MPG123_OK ||
      channels != 2 || encoding != MPG123_ENC_SIGNED_16 || rate <= 0 ||
      !SetRate(stream, rate, mixRate)) {
    LogWarn("sound", "%s: not a playable MP3 stream", stream->path.c_str());
    ReleaseDecoder(stream);
    stream->failed = true;
    return false;
  }
  return true;
}

void Rewind(SoundStream* stream) {
  stream->finished = false;
  stream->emptyReads = 0;
  if (!stream->decoder) return;  // not opened yet: it will start at the beginning
  if (mpg123_seek(stream->decoder, 0, SEEK_SET) < 0) {
    // A stream that cannot seek is reopened from scratch.
    ReleaseDecoder(stream);
    return;
  }
  if (stream->resampler) SDL_AudioStreamClear(stream->resampler);
}

void TakeResampled(SoundStream* stream, std::vector<int16_t>* out) {
  int available = SDL_AudioStreamAvailable(stream->resampler);
  if (available <= 0) return;
  size_t at = out->size();
  out->resize(at + (size_t)available / 2);
  int got = SDL_AudioStreamGet(stream->resampler, out->data() + at, available);
  out->resize(at + (size_t)std::max(got, 0) / 2);
}

// Decodes the next block into `out` (interleaved stereo at the mix rate). Sets `finished`
// at the end of the file or on an error that decoding cannot get past.
void DecodeBlock(SoundStream* stream, int mixRate, std::vector<int16_t>* out) {
  out->clear();
  if (!EnsureDecoder(stream, mixRate)) {
    stream->finished = true;
    return;
  }
  static thread_local std::vector<int16_t> block((size_t)DecodeFrames * 2);
  size_t done = 0;
  int result = mpg123_read(stream->decoder, reinterpret_cast<unsigned char*>(block.data()),
                           block.size() * sizeof(int16_t), &done);
  if (result == MPG123_NEW_FORMAT) {
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(stream->decoder, &rate, &channels, &encoding) != MPG123_OK ||
        channels != 2 || encoding != MPG123_ENC_SIGNED_16 || !SetRate(stream, rate, mixRate))
      stream->finished = true;
    return;
  }
  size_t frames = done / 4;
  // A decoder that keeps answering without samples or an end would keep this thread
  // spinning; after that many reads the file is taken as ended.
  stream->emptyReads = (frames == 0 && result == MPG123_OK) ? stream->emptyReads + 1 : 0;
  if (stream->emptyReads > 1000) result = MPG123_DONE;
  if (frames > 0) {
    if (stream->resampler) {
      SDL_AudioStreamPut(stream->resampler, block.data(), (int)(frames * 4));
      TakeResampled(stream, out);
    } else {
      out->assign(block.begin(), block.begin() + (ptrdiff_t)frames * 2);
    }
  }
  if (result != MPG123_OK) {
    if (result != MPG123_DONE)
      LogWarn("sound", "%s: decoding stopped: %s", stream->path.c_str(),
              mpg123_strerror(stream->decoder));
    stream->finished = true;
    if (stream->resampler) {
      SDL_AudioStreamFlush(stream->resampler);
      TakeResampled(stream, out);
    }
  }
}

// Moves as many pending frames into the ring as fit; returns the number moved.
size_t PushFrames(SoundState* s, const int16_t* frames, size_t count) {
  std::lock_guard<std::mutex> lock(s->ringMutex);
  size_t room = std::min(count, (size_t)RingFrames - s->ringCount);
  size_t write = (s->ringRead + s->ringCount) % RingFrames;
  for (size_t i = 0; i < room; i++) {
    size_t at = ((write + i) % RingFrames) * 2;
    s->ring[at] = frames[i * 2];
    s->ring[at + 1] = frames[i * 2 + 1];
  }
  s->ringCount += room;
  return room;
}

int DecoderThread(void* user) {
  SoundState* s = static_cast<SoundState*>(user);
  SoundStream* current = nullptr;
  std::vector<int16_t> pending;  // decoded frames not yet in the ring
  size_t pendingAt = 0;          // frames of `pending` already moved
  bool ringFull = false;
  while (true) {
    bool more = current && (!current->finished || pendingAt * 2 < pending.size());
    uint32_t tail = s->commandTail.load(std::memory_order_relaxed);
    if ((!more || ringFull) && s->commandHead.load(std::memory_order_acquire) == tail) {
      // A full ring drains in a few tenths of a second; look again well before that.
      s->wake.try_acquire_for(std::chrono::milliseconds(more ? 10 : 200));
    }
    if (s->quit.load(std::memory_order_acquire)) break;
    bool changed = false;
    uint32_t generation = 0;
    uint32_t head = s->commandHead.load(std::memory_order_acquire);
    for (; tail != head; tail++) {
      const Command& c = s->commands[tail % CommandSlots];
      switch (c.type) {
        case CommandPlay:
          current = c.stream;
          Rewind(current);
          changed = true;
          break;
        case CommandStop:
          if (current == c.stream) current = nullptr;
          changed = true;
          break;
        case CommandClose:
          if (current == c.stream) current = nullptr;
          ReleaseDecoder(c.stream);
          delete c.stream;
          break;
      }
      if (c.type != CommandClose) generation = c.generation;
      s->commandTail.store(tail + 1, std::memory_order_release);
    }
    if (changed) {
      pending.clear();
      pendingAt = 0;
      std::lock_guard<std::mutex> lock(s->ringMutex);
      s->ringRead = s->ringCount = 0;
      s->ringGeneration = generation;
    }
    ringFull = false;
    if (!current) continue;
    // Keep the ring topped up, one block at a time, so new commands are seen quickly.
    if (pendingAt * 2 >= pending.size()) {
      if (current->finished) continue;
      DecodeBlock(current, s->mixRate, &pending);
      pendingAt = 0;
    }
    size_t left = pending.size() / 2 - pendingAt;
    if (left > 0) {
      size_t moved = PushFrames(s, pending.data() + pendingAt * 2, left);
      pendingAt += moved;
      ringFull = moved < left;
    }
  }
  return 0;
}

void Post(SoundState* s, CommandType type, SoundStream* stream, bool newGeneration) {
  uint32_t head = s->commandHead.load(std::memory_order_relaxed);
  // Only a decoder stuck for good could leave the queue full; then wait for a free slot.
  while (head - s->commandTail.load(std::memory_order_acquire) >= CommandSlots)
    std::this_thread::yield();
  uint32_t g = s->generation.load(std::memory_order_relaxed);
  // The new generation goes out first: from the callback's next buffer on, the ring's
  // frames are stale and silence plays until the decoder has taken the command.
  if (newGeneration) s->generation.store(++g, std::memory_order_release);
  s->commands[head % CommandSlots] = Command{type, stream, g};
  s->commandHead.store(head + 1, std::memory_order_release);
  s->wake.release();
}

bool Known(SoundState* s, SoundStream* stream) {
  return stream && std::find(s->streams.begin(), s->streams.end(), stream) != s->streams.end();
}

}  // namespace

bool SoundInit(int mixRate) {
  if (state) return true;
  if (mixRate <= 0) mixRate = SoundMixRate;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    LogWarn("sound", "no audio output: %s", SDL_GetError());
    return false;
  }
  SoundState* s = new SoundState;
  s->mixRate = mixRate;
  SDL_AudioSpec want, have;
  SDL_zero(want);
  want.freq = mixRate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = DeviceFrames;
  want.callback = AudioCallback;
  want.userdata = s;
  // No changes allowed: SDL converts to whatever the hardware runs at.
  s->device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (s->device == 0) {
    LogWarn("sound", "no audio device: %s", SDL_GetError());
    delete s;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  mpg123_init();
  s->thread = SDL_CreateThread(DecoderThread, "mp3 decoder", s);
  if (!s->thread) {
    LogWarn("sound", "no decoder thread: %s", SDL_GetError());
    SDL_CloseAudioDevice(s->device);
    delete s;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  state = s;
  SDL_PauseAudioDevice(s->device, 0);
  LogInfo("sound", "output on \"%s\" at %d Hz", SDL_GetCurrentAudioDriver(), mixRate);
  return true;
}

void SoundClose() {
  SoundState* s = state;
  if (!s) return;
  state = nullptr;
  SDL_CloseAudioDevice(s->device);  // the callback has run for the last time on return
  s->quit.store(true, std::memory_order_release);
  s->wake.release();
  SDL_WaitThread(s->thread, nullptr);
  // Streams the decoder did not close (those still open, and any whose close command it
  // never took) go now that no other thread can reach them.
  for (uint32_t i = s->commandTail.load(); i != s->commandHead.load(); i++)
    if (const Command& c = s->commands[i % CommandSlots]; c.type == CommandClose) {
      ReleaseDecoder(c.stream);
      delete c.stream;
    }
  for (SoundStream* stream : s->streams) {
    ReleaseDecoder(stream);
    delete stream;
  }
  delete s;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SoundStarted() { return state != nullptr; }

void SoundSetAnalyserActive(bool active) { analyserActive.store(active); }
bool SoundAnalyserActive() { return analyserActive.load(); }

SoundStream* SoundOpenStream(const char* path) {
  if (!state || !path) return nullptr;
  // Only whether the file can be read is checked here; the decoder thread reads it.
  FILE* file = fopen(path, "rb");
  if (!file) {
    LogWarn("sound", "%s: cannot open", path);
    return nullptr;
  }
  fclose(file);
  SoundStream* stream = new SoundStream;
  stream->path = path;
  state->streams.push_back(stream);
  return stream;
}

void SoundPlay(int channel, SoundStream* stream) {
  if (!state || channel != 0 || !Known(state, stream)) return;
  state->playing = stream;
  state->volume.store(255);
  Post(state, CommandPlay, stream, true);
}

void SoundStop(SoundStream* stream) {
  if (!state || !Known(state, stream) || state->playing != stream) return;
  state->playing = nullptr;
  Post(state, CommandStop, stream, true);
}

void SoundCloseStream(SoundStream* stream) {
  if (!state || !Known(state, stream)) return;
  if (state->playing == stream) SoundStop(stream);
  state->streams.erase(std::find(state->streams.begin(), state->streams.end(), stream));
  Post(state, CommandClose, stream, false);
}

void SoundSetVolume(int channel, int volume) {
  if (!state || channel != 0) return;
  state->volume.store(std::clamp(volume, 0, 255));
}

bool SoundDecodeFile(const char* path, int mixRate, size_t maxFrames,
                     std::vector<int16_t>* samples) {
  samples->clear();
  if (!path) return false;
  if (mixRate <= 0) mixRate = SoundMixRate;
  FILE* file = fopen(path, "rb");
  if (!file) {
    LogWarn("sound", "%s: cannot open", path);
    return false;
  }
  fclose(file);
  mpg123_init();  // a no-op once done; the decoder thread may never have run
  SoundStream stream;
  stream.path = path;
  std::vector<int16_t> block;
  bool ok = true;
  int emptyBlocks = 0;  // a decoder that keeps giving nothing is given up on
  while (!stream.finished && samples->size() / 2 < maxFrames && emptyBlocks < 1000) {
    DecodeBlock(&stream, mixRate, &block);
    emptyBlocks = block.empty() ? emptyBlocks + 1 : 0;
    size_t room = maxFrames - samples->size() / 2;
    size_t frames = std::min(block.size() / 2, room);
    samples->insert(samples->end(), block.begin(), block.begin() + (ptrdiff_t)frames * 2);
  }
  if (stream.failed) ok = false;
  ReleaseDecoder(&stream);
  return ok;
}
