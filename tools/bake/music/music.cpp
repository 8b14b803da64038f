// tools/bake/music/music.cpp - the bake of both tracks on a small pool of threads.
//
// Work is cut into jobs: the time chunks of each track, then per track one job that sums
// its chunks, masters, encodes and writes the file. Jobs write only their own buffers
// and the sums run in a fixed order, so the bytes do not depend on which thread ran what.
#include <algorithm>
#include <ctime>
#include <cstdlib>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "tools/bake/music/music.h"
#include "tools/bake/music/synth.h"

namespace {

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return (double)t.tv_sec + 1e-9 * (double)t.tv_nsec;
}

struct Job {
  std::function<void()> run;
  std::vector<int> after;  // jobs that must be done first
  int state = 0;           // 0 waiting, 1 running, 2 done
};

// Runs every job once, each after the jobs it depends on, on up to `threads` threads.
// Jobs are taken in list order among those that are ready.
void RunJobs(std::vector<Job>& jobs, int threads) {
  std::mutex mutex;
  std::condition_variable changed;
  // VELLUMAR_MUSIC_TIMING=1 prints how long each job took, for tuning the split.
  const bool timing = std::getenv("VELLUMAR_MUSIC_TIMING") != nullptr;
  auto worker = [&]() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      int pick = -1;
      bool waiting = false;
      for (size_t i = 0; i < jobs.size() && pick < 0; i++) {
        if (jobs[i].state != 0) continue;
        waiting = true;
        bool ready = std::all_of(jobs[i].after.begin(), jobs[i].after.end(),
                                 [&](int j) { return jobs[(size_t)j].state == 2; });
        if (ready) pick = (int)i;
      }
      if (!waiting) return;
      if (pick < 0) {
        changed.wait(lock);
        continue;
      }
      jobs[(size_t)pick].state = 1;
      lock.unlock();
      double begin = ThreadSeconds();
      jobs[(size_t)pick].run();
      if (timing) std::fprintf(stderr, "music job %d: %.2f s of processor time\n", pick, ThreadSeconds() - begin);
      lock.lock();
      jobs[(size_t)pick].state = 2;
      changed.notify_all();
    }
  };
  threads = std::max(1, threads);
  std::vector<std::thread> pool;
  for (int i = 1; i < threads; i++) pool.emplace_back(worker);
  worker();
  for (std::thread& t : pool) t.join();
}

int ThreadCount(int requested) {
  if (requested > 0) return requested;
  unsigned n = std::thread::hardware_concurrency();
  return (int)std::clamp(n, 1u, 8u);
}

music::Song ComposeTrack(MusicTrackId track) {
  return track == MusicTrackDiscow ? music::ComposeDiscow() : music::ComposeClosing();
}

// Appends one job per time chunk of a song; returns their indices.
std::vector<int> AddChunkJobs(std::vector<Job>& jobs, music::SongRender* render) {
  std::vector<int> ids;
  for (int c = 0; c < (int)render->chunks.size(); c++) {
    Job job;
    job.run = [render, c]() { music::RenderSongChunk(render, c); };
    ids.push_back((int)jobs.size());
    jobs.push_back(std::move(job));
  }
  return ids;
}

void CopySamples(const music::RenderedTrack& track, MusicSamples* out) {
  out->left = track.left;
  out->right = track.right;
  out->loudness = track.loudness;
  out->peak = track.peak;
  out->deepestLimitDb = track.deepestLimitDb;
  out->limitedShare = track.limitedShare;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  // Written beside the target and renamed over it: a failed bake leaves no torn file.
  std::string temporary = path + ".part";
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  if (!f) {
    if (error) *error = "cannot create " + temporary;
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  if (ok) ok = std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    std::remove(temporary.c_str());
    if (error) *error = "cannot write " + path;
  }
  return ok;
}

}  // namespace

MusicTrackInfo MusicTrackDescription(MusicTrackId track) {
  if (track == MusicTrackDiscow) return {"discow.mp3", "Discow", 244.0};
  return {"vellumar2.mp3", "Vellumar 2", 54.0};
}

void RenderMusicTrack(MusicTrackId track, double untilSeconds, int threads, MusicSamples* out) {
  music::Song song = ComposeTrack(track);
  music::SongRender render;
  music::PrepareSongRender(song, untilSeconds, &render);
  std::vector<Job> jobs;
  std::vector<int> chunks = AddChunkJobs(jobs, &render);
  music::RenderedTrack rendered;
  Job finish;
  finish.run = [&]() { music::FinishSongRender(&render, &rendered); };
  finish.after = chunks;
  jobs.push_back(std::move(finish));
  RunJobs(jobs, ThreadCount(threads));
  CopySamples(rendered, out);
}

bool BakeMusicTracksWith(const std::string& outDir, int threads,
                         MusicSamples samples[MusicTrackCount], std::string* error) {
  // Checked first: a bake that cannot write should not spend seconds rendering.
  std::error_code ec;
  if (!std::filesystem::is_directory(outDir, ec)) {
    if (error) *error = "no such directory: " + outDir;
    return false;
  }
  music::Song songs[MusicTrackCount] = {ComposeTrack(MusicTrackDiscow),
                                        ComposeTrack(MusicTrackClosing)};
  music::SongRender renders[MusicTrackCount];
  music::RenderedTrack rendered[MusicTrackCount];
  bool ok[MusicTrackCount] = {false, false};
  std::string errors[MusicTrackCount];
  std::vector<Job> jobs;
  // The long track first: its encoding is the longest single job, so it should start as
  // early as possible while the other thread renders the short track.
  for (int t = 0; t < MusicTrackCount; t++) {
    music::PrepareSongRender(songs[t], 0, &renders[t]);
    std::vector<int> chunks = AddChunkJobs(jobs, &renders[t]);
    Job finish;
    finish.after = chunks;
    finish.run = [&, t]() {
      music::FinishSongRender(&renders[t], &rendered[t]);
      MusicTrackInfo info = MusicTrackDescription((MusicTrackId)t);
      Mp3Tags tags{info.title, "Vellumar 2", "Vellumar 2"};
      std::vector<uint8_t> mp3;
      ok[t] = EncodeMp3(rendered[t].left, rendered[t].right, tags, &mp3, &errors[t]) &&
              WriteFile(outDir + "/" + info.fileName, mp3, &errors[t]);
      if (samples) {
        CopySamples(rendered[t], &samples[t]);
      }
      rendered[t] = music::RenderedTrack{};
    };
    jobs.push_back(std::move(finish));
  }
  RunJobs(jobs, ThreadCount(threads));
  for (int t = 0; t < MusicTrackCount; t++)
    if (!ok[t]) {
      if (error) *error = errors[t];
      return false;
    }
  return true;
}

bool BakeMusicTracks(const std::string& outDir, std::string* error) {
  return BakeMusicTracksWith(outDir, 0, nullptr, error);
}
