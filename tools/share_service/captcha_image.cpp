#include "captcha_image.h"

#include <array>
#include <random>

#include "png_writer.h"

namespace corvelle::share_service {
namespace {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kScale = 6;  // each font dot becomes a 6x6 block: characters 30x42 pixels
constexpr int kAdvance = (kGlyphWidth + 2) * kScale;
constexpr int kMargin = 12;
constexpr int kJitter = 6;  // vertical offset range of each character

struct Glyph {
  char symbol;
  std::array<const char*, kGlyphHeight> rows;
};

// A 5x7 dot font for the captcha alphabet; '#' is ink.
constexpr Glyph kFont[] = {
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"####.", "....#", "....#", ".###.", "....#", "....#", "####."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'6', {".###.", "#....", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "....#", ".###."}},
    {'A', {"..#..", ".#.#.", "#...#", "#...#", "#####", "#...#", "#...#"}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
};

const Glyph* FindGlyph(char symbol) {
  for (const Glyph& glyph : kFont) {
    if (glyph.symbol == symbol) return &glyph;
  }
  return nullptr;
}

void DrawGlyph(GrayImage& image, const Glyph& glyph, int left, int top) {
  for (int row = 0; row < kGlyphHeight; ++row) {
    for (int col = 0; col < kGlyphWidth; ++col) {
      if (glyph.rows[row][col] != '#') continue;
      for (int dy = 0; dy < kScale; ++dy) {
        for (int dx = 0; dx < kScale; ++dx) {
          const int x = left + col * kScale + dx;
          const int y = top + row * kScale + dy;
          image.pixels[static_cast<std::size_t>(y) * image.width + x] = 30;
        }
      }
    }
  }
}

}  // namespace

std::vector<std::uint8_t> RenderCaptchaPng(std::string_view answer, std::uint32_t seed) {
  std::mt19937 engine(seed);
  GrayImage image;
  image.width = 2 * kMargin + static_cast<int>(answer.size()) * kAdvance;
  image.height = 2 * kMargin + kGlyphHeight * kScale + kJitter;
  image.pixels.assign(static_cast<std::size_t>(image.width) * image.height, 255);

  // Light speckles only: they make the picture look like a captcha without hiding any character.
  std::uniform_int_distribution<int> shade(190, 245);
  std::bernoulli_distribution speckle(0.12);
  for (std::uint8_t& pixel : image.pixels) {
    if (speckle(engine)) pixel = static_cast<std::uint8_t>(shade(engine));
  }

  std::uniform_int_distribution<int> jitter(0, kJitter);
  int left = kMargin + kScale;
  for (const char symbol : answer) {
    if (const Glyph* glyph = FindGlyph(symbol)) DrawGlyph(image, *glyph, left, kMargin + jitter(engine));
    left += kAdvance;
  }
  return EncodePng(image);
}

}  // namespace corvelle::share_service
