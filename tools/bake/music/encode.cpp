// tools/bake/music/encode.cpp - MP3 encoding through LAME's library.
//
// The file is laid out as: ID3v2 tag, the encoder's header frame (Xing "Info" with the LAME
// extension: encoder delay and padding, so decoders return exactly the samples given), the
// audio frames, an ID3v1 tag. LAME reserves the header frame while encoding and fills it
// in at the end; the tags are taken from the encoder instead of being written by it, so
// their place is known.
#include <lame/lame.h>

#include <algorithm>
#include <mutex>

#include "tools/bake/music/music.h"

namespace {
// LAME fills some global tables on first use without a lock; encoders are therefore set
// up one at a time, and encode in parallel afterwards.
std::mutex lameSetUp;

struct LameHandle {
  lame_t gf = nullptr;
  ~LameHandle() {
    if (gf) lame_close(gf);
  }
};
}  // namespace

bool EncodeMp3(const std::vector<float>& left, const std::vector<float>& right,
               const Mp3Tags& tags, std::vector<uint8_t>* mp3, std::string* error) {
  mp3->clear();
  if (left.size() != right.size()) {
    if (error) *error = "channels of different lengths";
    return false;
  }
  LameHandle lame;
  size_t tagBytes = 0;
  {
    std::lock_guard<std::mutex> lock(lameSetUp);
    lame.gf = lame_init();
    if (!lame.gf) {
      if (error) *error = "the MP3 encoder could not start";
      return false;
    }
    lame_t gf = lame.gf;
    lame_set_in_samplerate(gf, 44100);
    lame_set_out_samplerate(gf, 44100);
    lame_set_num_channels(gf, 2);
    lame_set_mode(gf, JOINT_STEREO);
    lame_set_VBR(gf, vbr_off);
    lame_set_brate(gf, 192);
    lame_set_quality(gf, 3);  // LAME's own default: good quality at about 100x real time
    lame_set_bWriteVbrTag(gf, 1);
    lame_set_write_id3tag_automatic(gf, 0);
    id3tag_init(gf);
    id3tag_add_v2(gf);
    id3tag_set_title(gf, tags.title.c_str());
    id3tag_set_artist(gf, tags.artist.c_str());
    id3tag_set_album(gf, tags.album.c_str());
    if (lame_init_params(gf) < 0) {
      if (error) *error = "the MP3 encoder refused its settings";
      return false;
    }
    unsigned char probe[1];
    tagBytes = lame_get_id3v2_tag(gf, probe, 0);
  }
  lame_t gf = lame.gf;
  if (tagBytes > 0) {
    mp3->resize(tagBytes);
    if (lame_get_id3v2_tag(gf, mp3->data(), tagBytes) != tagBytes) {
      if (error) *error = "the ID3v2 tag could not be written";
      return false;
    }
  }
  const size_t headerAt = mp3->size();
  const int block = 8192;
  std::vector<unsigned char> buffer((size_t)(block * 5 / 4 + 7200));
  for (size_t pos = 0; pos < left.size(); pos += block) {
    int n = (int)std::min<size_t>(block, left.size() - pos);
    int bytes = lame_encode_buffer_ieee_float(gf, left.data() + pos, right.data() + pos, n,
                                              buffer.data(), (int)buffer.size());
    if (bytes < 0) {
      if (error) *error = "the MP3 encoder failed";
      return false;
    }
    mp3->insert(mp3->end(), buffer.begin(), buffer.begin() + bytes);
  }
  int bytes = lame_encode_flush(gf, buffer.data(), (int)buffer.size());
  if (bytes < 0) {
    if (error) *error = "the MP3 encoder failed at the end";
    return false;
  }
  mp3->insert(mp3->end(), buffer.begin(), buffer.begin() + bytes);
  // The header frame, now that the encoder knows the frame count and the padding.
  unsigned char header[4096];
  size_t headerBytes = lame_get_lametag_frame(gf, header, sizeof header);
  if (headerBytes > sizeof header || headerAt + headerBytes > mp3->size()) {
    if (error) *error = "the MP3 header frame does not fit";
    return false;
  }
  std::copy(header, header + headerBytes, mp3->begin() + (long)headerAt);
  unsigned char v1[128];
  size_t v1Bytes = lame_get_id3v1_tag(gf, v1, sizeof v1);
  if (v1Bytes <= sizeof v1) mp3->insert(mp3->end(), v1, v1 + v1Bytes);
  return true;
}
