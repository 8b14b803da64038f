// data/resgen.cpp - draws the launcher's picture and the program icon at build time and
// writes them as byte arrays of a BMP and an ICO file into one C++ source file.
//
// Usage: vellumar2-resgen OUTPUT.cpp
// The picture: a night sky over a dark horizon with the show's name in block letters;
// 281 by 67, 8 bits per pixel with a 256-entry palette (a colour cube, dithered). The icon:
// 32 by 32 in the 16 standard colours with a transparency mask.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
void Put16(std::vector<uint8_t>& b, unsigned v) {
  b.push_back(v & 255);
  b.push_back((v >> 8) & 255);
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; i++) b.push_back((v >> (8 * i)) & 255);
}
void InfoHeader(std::vector<uint8_t>& b, int w, int h, int bits, int colours, uint32_t imageSize) {
  Put32(b, 40);
  Put32(b, (uint32_t)w);
  Put32(b, (uint32_t)h);
  Put16(b, 1);
  Put16(b, (unsigned)bits);
  Put32(b, 0);
  Put32(b, imageSize);
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, (uint32_t)colours);
  Put32(b, 0);
}

// 5 by 7 block letters for the few characters the picture needs.
const char* Glyph(char c) {
  switch (c) {
    case 'V': return "10001100011000110001010100101000100";
    case 'E': return "11111100001000011110100001000011111";
    case 'L': return "10000100001000010000100001000011111";
    case 'U': return "10001100011000110001100011000101110";
    case 'M': return "10001110111010110101100011000110001";
    case 'A': return "01110100011000111111100011000110001";
    case 'R': return "11110100011000111110101001001010001";
    case '2': return "01110100010000100110010001000011111";
    case 'O': return "01110100011000110001100011000101110";
    case 'I': return "01110001000010000100001000010001110";
    case 'T': return "11111001000010000100001000010000100";
    case 'H': return "10001100011000111111100011000110001";
    case '0': return "01110100111010110101110011000101110";
    case '3': return "11110000010000101110000010000111110";
    default: return nullptr;
  }
}

struct Image {
  int w, h;
  std::vector<float> rgb;
  float* At(int x, int y) { return &rgb[((size_t)y * w + x) * 3]; }
};

// Coverage of block text at (x, y) with letters `scale` pixels per cell.
bool TextAt(const char* text, int left, int top, int scale, int x, int y) {
  int cell = 6 * scale;
  if (y < top || y >= top + 7 * scale || x < left) return false;
  int index = (x - left) / cell;
  if (index >= (int)strlen(text)) return false;
  const char* g = Glyph(text[index]);
  if (!g) return false;
  int gx = ((x - left) % cell) / scale, gy = (y - top) / scale;
  return gx < 5 && g[gy * 5 + gx] == '1';
}

std::vector<uint8_t> LauncherPicture() {
  const int W = 281, H = 67;
  Image img{W, H, std::vector<float>((size_t)W * H * 3)};
  uint32_t seed = 12345;
  auto rnd = [&]() {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) / 16777216.0f;
  };
  for (int y = 0; y < H; y++) {
    for (int x = 0; x < W; x++) {
      float t = y / (float)(H - 1);
      float* p = img.At(x, y);
      // Deep blue at the top to a violet and ember glow at the horizon.
      p[0] = 10 + 150 * t * t;
      p[1] = 12 + 40 * t * t;
      p[2] = 45 + 60 * t;
      float hill = H - 9 - 5 * sinf(x * 0.045f) - 3 * sinf(x * 0.13f + 1.0f);
      if (y > hill) p[0] = 8, p[1] = 6, p[2] = 14;
    }
  }
  for (int i = 0; i < 90; i++) {
    int x = (int)(rnd() * W), y = (int)(rnd() * H * 0.6f);
    float b = 120 + 135 * rnd();
    float* p = img.At(x, y);
    p[0] = p[1] = p[2] = b;
  }
  const char* title = "VELLUMAR 2";
  const int scale = 4, titleW = (int)strlen(title) * 6 * scale - scale;
  int left = (W - titleW) / 2, top = 9;
  const char* sub = "OVALITH 2003";
  int subW = (int)strlen(sub) * 6 - 1;
  int subLeft = (W - subW) / 2, subTop = top + 7 * scale + 6;
  for (int y = 0; y < H; y++) {
    for (int x = 0; x < W; x++) {
      float* p = img.At(x, y);
      // A soft glow around the title, then the letters in a warm gradient.
      float glow = 0;
      for (int dy = -3; dy <= 3; dy++)
        for (int dx = -3; dx <= 3; dx++)
          if (TextAt(title, left, top, scale, x + dx, y + dy)) glow += 1.0f / 49;
      p[0] += 160 * glow;
      p[1] += 70 * glow;
      p[2] += 40 * glow;
      if (TextAt(title, left, top, scale, x, y)) {
        float t = (y - top) / (7.0f * scale);
        p[0] = 255;
        p[1] = 235 - 120 * t;
        p[2] = 150 - 110 * t;
      }
      if (TextAt(sub, subLeft, subTop, 1, x, y)) p[0] = 200, p[1] = 190, p[2] = 230;
    }
  }
  // Palette: a 6 x 7 x 6 colour cube (252 entries) and four greys.
  std::vector<uint8_t> palette;
  for (int r = 0; r < 6; r++)
    for (int g = 0; g < 7; g++)
      for (int b = 0; b < 6; b++) {
        palette.push_back((uint8_t)(b * 51));
        palette.push_back((uint8_t)(g * 255 / 6));
        palette.push_back((uint8_t)(r * 51));
        palette.push_back(0);
      }
  for (int i = 0; i < 4; i++) {
    uint8_t v = (uint8_t)(40 + i * 50);
    palette.insert(palette.end(), {v, v, v, 0});
  }
  static const float bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  int stride = (W + 3) & ~3;
  std::vector<uint8_t> pixels((size_t)stride * H, 0);
  for (int y = 0; y < H; y++) {
    for (int x = 0; x < W; x++) {
      float* p = img.At(x, y);
      float d = (bayer[y & 3][x & 3] + 0.5f) / 16 - 0.5f;
      auto level = [&](float v, int steps) {
        float f = fminf(fmaxf(v, 0), 255) / 255 * (steps - 1) + d;
        int i = (int)lroundf(f);
        return i < 0 ? 0 : i >= steps ? steps - 1 : i;
      };
      int index = level(p[0], 6) * 42 + level(p[1], 7) * 6 + level(p[2], 6);
      pixels[(size_t)(H - 1 - y) * stride + x] = (uint8_t)index;  // bottom-up rows
    }
  }
  std::vector<uint8_t> bmp;
  uint32_t offset = 14 + 40 + (uint32_t)palette.size();
  bmp.push_back('B');
  bmp.push_back('M');
  Put32(bmp, offset + (uint32_t)pixels.size());
  Put32(bmp, 0);
  Put32(bmp, offset);
  InfoHeader(bmp, W, H, 8, 256, (uint32_t)pixels.size());
  bmp.insert(bmp.end(), palette.begin(), palette.end());
  bmp.insert(bmp.end(), pixels.begin(), pixels.end());
  return bmp;
}

std::vector<uint8_t> ProgramIconFile() {
  const int S = 32;
  static const uint8_t vga[16][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                     {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                     {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
                                     {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
  std::vector<uint8_t> colour((size_t)S * S / 2, 0), mask((size_t)S * 4, 0);
  for (int y = 0; y < S; y++) {
    for (int x = 0; x < S; x++) {
      float dx = x - 15.5f, dy = y - 15.5f, r = sqrtf(dx * dx + dy * dy);
      int index = 0;
      bool transparent = r > 15.5f;
      if (!transparent) {
        index = r > 14 ? 8 : 4;  // grey rim, navy disc
        // A "V": two strokes from the top corners meeting low in the middle.
        float u = fabsf(dx), v = y;
        float line = fabsf(u - (24 - v) * 0.45f);
        if (v >= 6 && v <= 25 && line < 2.2f) index = v < 15 ? 11 : 9;
        if (index == 4 && (x * 7 + y * 13) % 37 == 0) index = 15;  // a few stars
      }
      int row = S - 1 - y;  // bottom-up
      uint8_t& cell = colour[(size_t)row * S / 2 + x / 2];
      cell |= (uint8_t)(x % 2 ? index : index << 4);
      if (transparent) mask[(size_t)row * 4 + x / 8] |= (uint8_t)(0x80 >> (x % 8));
    }
  }
  std::vector<uint8_t> image;
  InfoHeader(image, S, S * 2, 4, 16, (uint32_t)(colour.size() + mask.size()));
  for (auto& c : vga) image.insert(image.end(), {c[2], c[1], c[0], 0});
  image.insert(image.end(), colour.begin(), colour.end());
  image.insert(image.end(), mask.begin(), mask.end());
  std::vector<uint8_t> ico;
  Put16(ico, 0);
  Put16(ico, 1);
  Put16(ico, 1);
  ico.push_back(S);
  ico.push_back(S);
  ico.push_back(16);
  ico.push_back(0);
  Put16(ico, 1);
  Put16(ico, 4);
  Put32(ico, (uint32_t)image.size());
  Put32(ico, 6 + 16);
  ico.insert(ico.end(), image.begin(), image.end());
  return ico;
}

void WriteArray(FILE* f, const char* name, const std::vector<uint8_t>& bytes) {
  fprintf(f, "extern const unsigned char %s[] = {", name);
  for (size_t i = 0; i < bytes.size(); i++) fprintf(f, "%s%u,", i % 24 ? "" : "\n  ", bytes[i]);
  fprintf(f, "\n};\nextern const size_t %sSize = %zu;\n\n", name, bytes.size());
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: vellumar2-resgen OUTPUT.cpp\n");
    return 2;
  }
  FILE* f = fopen(argv[1], "w");
  if (!f) {
    fprintf(stderr, "vellumar2-resgen: cannot write %s\n", argv[1]);
    return 1;
  }
  fprintf(f, "// Generated by vellumar2-resgen; do not edit.\n#include <cstddef>\n\n");
  WriteArray(f, "LauncherBitmap", LauncherPicture());
  WriteArray(f, "ProgramIcon", ProgramIconFile());
  return fclose(f) == 0 ? 0 : 1;
}
