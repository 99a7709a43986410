// Code page 936 <-> UTF-16 conversion speed, ours beside glibc iconv on the same input in the same run.
//
//   text_bench [BENCH_DATA_FOLDER]     (or CORVELLE_BENCH_DATA; default ../shared/bench-data)
//
// Each file is first turned from UTF-8 into code page 936, so the input is real code-page-936 text:
// canada.json stays pure ASCII, twitter.json becomes mixed one- and two-byte text.
#include <iconv.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "text/encoding.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs `work` until at least half a second has passed; answers MB/s of `bytes` per run.
template <typename Work>
double MegabytesPerSecond(std::size_t bytes, Work work) {
  std::size_t runs = 0;
  const auto start = Clock::now();
  std::chrono::duration<double> elapsed{};
  do {
    work();
    ++runs;
    elapsed = Clock::now() - start;
  } while (elapsed.count() < 0.5);
  return static_cast<double>(bytes) * static_cast<double>(runs) / elapsed.count() / 1e6;
}

// glibc iconv over the whole buffer with one handle, skipping what it cannot convert.
std::size_t IconvConvert(iconv_t handle, const char* input, std::size_t size, std::vector<char>& output) {
  iconv(handle, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(input);
  std::size_t inLeft = size;
  char* out = output.data();
  std::size_t outLeft = output.size();
  while (inLeft > 0) {
    if (iconv(handle, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) break;
    ++in, --inLeft;  // EILSEQ / EINVAL: drop the byte and go on
  }
  return output.size() - outLeft;
}

volatile std::size_t sink;

void Measure(const std::string& name, const std::string& utf8) {
  const corvelle::Text text = corvelle::Utf8ToText(utf8);
  const corvelle::WideText wide = corvelle::TextToUtf16(text);
  const std::size_t wideBytes = wide.size() * 2;

  iconv_t toWide = iconv_open("UTF-16LE", "CP936");
  iconv_t toText = iconv_open("CP936", "UTF-16LE");
  std::vector<char> buffer(text.size() * 4 + 16);

  const double oursDecode =
      MegabytesPerSecond(text.size(), [&] { sink = corvelle::TextToUtf16(text).size(); });
  const double iconvDecode =
      MegabytesPerSecond(text.size(), [&] { sink = IconvConvert(toWide, text.data(), text.size(), buffer); });
  const double oursEncode = MegabytesPerSecond(wideBytes, [&] { sink = corvelle::Utf16ToText(wide).size(); });
  const double iconvEncode = MegabytesPerSecond(wideBytes, [&] {
    sink = IconvConvert(toText, reinterpret_cast<const char*>(wide.data()), wideBytes, buffer);
  });
  iconv_close(toWide);
  iconv_close(toText);

  std::size_t ascii = 0;
  for (unsigned char c : text) ascii += c < 0x80;
  std::printf("%-18s %9zu bytes, %5.1f%% ASCII\n", name.c_str(), text.size(),
              text.empty() ? 100.0 : 100.0 * static_cast<double>(ascii) / static_cast<double>(text.size()));
  std::printf("  936 -> UTF-16   ours %8.1f MB/s   iconv %7.1f MB/s   ratio %5.2fx\n", oursDecode,
              iconvDecode, oursDecode / iconvDecode);
  std::printf("  UTF-16 -> 936   ours %8.1f MB/s   iconv %7.1f MB/s   ratio %5.2fx\n", oursEncode,
              iconvEncode, oursEncode / iconvEncode);
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = "../shared/bench-data";
  if (const char* env = std::getenv("CORVELLE_BENCH_DATA")) folder = env;
  if (argc > 1) folder = argv[1];

  for (const char* file : {"canada.json", "citm_catalog.json", "twitter.json", "deep.json", "wide.json"}) {
    const std::string utf8 = ReadFile(folder + "/" + file);
    if (utf8.empty()) {
      std::fprintf(stderr, "text_bench: cannot read %s/%s\n", folder.c_str(), file);
      return 2;
    }
    Measure(file, utf8);
  }
  return 0;
}
