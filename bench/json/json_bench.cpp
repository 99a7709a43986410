// JSON engine speed and memory, ours beside RapidJSON (UTF-8 DOM, default flags) and nlohmann::json on
// the same files in the same run.
//
//   json_bench [BENCH_DATA_FOLDER]     (or CORVELLE_BENCH_DATA; default ../shared/bench-data)
//
// Throughput is the UTF-8 file's size over the time of one operation, for every engine alike, so the
// columns compare directly. Our Parse reads the file as code page 936 text (converted once, before
// timing) and includes its conversion to UTF-16; ParseW starts from UTF-16. Memory is what the C
// library's allocator hands out for one parsed document, measured in a child process of its own.
// Operations a peer cannot survive (deep nesting through recursion) run in a child process too and
// show as "-".
#include <malloc.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "json/json_document.h"
#include "text/encoding.h"

namespace {

using Clock = std::chrono::steady_clock;

volatile std::size_t sink;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Processor time of this thread, so that time the machine gives to other work does not count.
double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Processor seconds of the fastest run of `work` among those that fit in one second (at least
// five): the machine is shared, and the fastest run is the one least disturbed by others.
double SecondsPerRun(const std::function<void()>& work) {
  double best = 1e30;
  const auto start = Clock::now();
  for (int runs = 0; runs < 5 || Clock::now() - start < std::chrono::milliseconds(1000); ++runs) {
    const double before = ThreadSeconds();
    work();
    best = std::min(best, ThreadSeconds() - before);
  }
  return best;
}

// Runs `measure` in a child process and answers its number; nothing when the child dies.
std::optional<double> Isolated(const std::function<double()>& measure) {
  int fds[2];
  if (pipe(fds) != 0) return std::nullopt;
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    const double value = measure();
    const ssize_t written = write(fds[1], &value, sizeof value);
    _exit(written == sizeof value ? 0 : 1);
  }
  close(fds[1]);
  double value = 0;
  const ssize_t got = read(fds[0], &value, sizeof value);
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (got != sizeof value || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return value;
}

std::size_t AllocatedBytes() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// Bytes allocated while `parse` builds a document that stays alive until the measure is taken.
template <typename Parse>
std::optional<double> PeakBytes(Parse parse) {
  return Isolated([&] {
    const std::size_t before = AllocatedBytes();
    auto document = parse();
    const std::size_t after = AllocatedBytes();
    sink = sizeof document;
    return static_cast<double>(after - before);
  });
}

struct Engines {
  std::optional<double> ours;
  std::optional<double> rapid;
  std::optional<double> nlohmann;
};

std::string Cell(std::optional<double> value) {
  char text[32];
  if (!value) return "-";
  std::snprintf(text, sizeof text, "%.1f", *value);
  return text;
}

std::string Ratio(std::optional<double> ours, std::optional<double> peer) {
  char text[32];
  if (!ours || !peer || *peer == 0) return "-";
  std::snprintf(text, sizeof text, "%.2f", *ours / *peer);
  return text;
}

void PrintRow(const std::string& file, const std::string& what, const Engines& e) {
  std::printf("%-18s %-9s %10s %10s %10s %8s %8s\n", file.c_str(), what.c_str(), Cell(e.ours).c_str(),
              Cell(e.rapid).c_str(), Cell(e.nlohmann).c_str(), Ratio(e.ours, e.rapid).c_str(),
              Ratio(e.ours, e.nlohmann).c_str());
}

// Throughput in MB/s; run in a child when `isolate` is set.
std::optional<double> Throughput(std::size_t bytes, bool isolate, const std::function<void()>& work) {
  const auto measure = [&] { return static_cast<double>(bytes) / SecondsPerRun(work) / 1e6; };
  return isolate ? Isolated(measure) : std::optional<double>(measure());
}

struct Lookup {
  const char* file;
  const char* stringPath;
  const char* integerPath;
};

constexpr Lookup kLookups[] = {
    {"twitter.json", "statuses[0].user.screen_name", "statuses[0].user.followers_count"},
    {"citm_catalog.json", "events.138586341.name", "events.138586341.id"},
    {"canada.json", "features[0].geometry.type", "features[0].properties.name"},
};

// Memory of one parsed document per engine. Each is measured in a fresh child of a parent that has
// not parsed anything yet, so no engine finds blocks freed by an earlier run to reuse.
Engines MeasureMemory(const std::string& utf8) {
  const corvelle::Text text = corvelle::Utf8ToText(utf8);
  Engines memory;
  memory.ours = PeakBytes([&] {
    corvelle::JsonDocument document;
    sink = document.Parse(text);
    return document;
  });
  memory.rapid = PeakBytes([&] {
    auto document = std::make_unique<rapidjson::Document>();
    document->Parse(utf8.c_str(), utf8.size());
    return document;
  });
  memory.nlohmann = PeakBytes([&] { return nlohmann::json::parse(utf8, nullptr, false); });
  for (auto* value : {&memory.ours, &memory.rapid, &memory.nlohmann}) {
    if (*value) **value /= 1024;
  }

  return memory;
}

void Measure(const std::string& folder, const std::string& name) {
  const std::string utf8 = ReadFile(folder + "/" + name);
  if (utf8.empty()) {
    std::printf("%-18s (missing)\n", name.c_str());
    return;
  }
  const bool deep = name == "deep.json";  // peers recurse once a level somewhere
  const std::size_t bytes = utf8.size();
  const corvelle::Text text = corvelle::Utf8ToText(utf8);
  const corvelle::WideText wide = corvelle::Utf8ToUtf16(utf8);

  corvelle::JsonDocument ours;
  if (!ours.Parse(text)) std::printf("%-18s our parse failed\n", name.c_str());
  rapidjson::Document rapid;
  nlohmann::json lohmann;
  if (!deep) {
    rapid.Parse(utf8.c_str(), utf8.size());
    lohmann = nlohmann::json::parse(utf8, nullptr, false);
  }

  Engines parse;
  parse.ours = Throughput(bytes, false, [&] {
    corvelle::JsonDocument document;
    sink = document.Parse(text);
  });
  parse.rapid = Throughput(bytes, deep, [&] {
    rapidjson::Document document;
    document.Parse(utf8.c_str(), utf8.size());
    sink = document.HasParseError();
  });
  parse.nlohmann =
      Throughput(bytes, deep, [&] { sink = nlohmann::json::parse(utf8, nullptr, false).size(); });
  PrintRow(name, "Parse", parse);

  Engines parseW;
  parseW.ours = Throughput(bytes, false, [&] {
    corvelle::JsonDocument document;
    sink = document.ParseW(wide);
  });
  PrintRow(name, "ParseW", parseW);

  Engines write;
  write.ours = Throughput(bytes, false, [&] { sink = ours.ToText().size(); });
  // For deep.json the peers' documents are made inside the child that measures them; the first run
  // pays for that and the fastest run is kept.
  bool rapidReady = !deep;
  bool lohmannReady = !deep;
  write.rapid = Throughput(bytes, deep, [&] {
    if (!rapidReady) {
      rapid.Parse(utf8.c_str(), utf8.size());
      rapidReady = true;
    }
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    rapid.Accept(writer);
    sink = buffer.GetSize();
  });
  write.nlohmann = Throughput(bytes, deep, [&] {
    if (!lohmannReady) {
      lohmann = nlohmann::json::parse(utf8, nullptr, false);
      lohmannReady = true;
    }
    sink = lohmann.dump().size();
  });
  PrintRow(name, "ToText", write);

  Engines writeW;
  writeW.ours = Throughput(bytes, false, [&] { sink = ours.ToTextW().size(); });
  PrintRow(name, "ToTextW", writeW);

  for (const Lookup& lookup : kLookups) {
    if (name != lookup.file) continue;
    const double stringNs = SecondsPerRun([&] {
                              for (int i = 0; i < 1000; ++i) sink = ours.GetString(lookup.stringPath).size();
                            }) *
                            1e6;
    const double integerNs = SecondsPerRun([&] {
                               for (int i = 0; i < 1000; ++i)
                                 sink = static_cast<std::size_t>(ours.GetInteger(lookup.integerPath));
                             }) *
                             1e6;
    std::printf("%-18s GetString(\"%s\") %.0f ns, GetInteger(\"%s\") %.0f ns\n", name.c_str(),
                lookup.stringPath, stringNs, lookup.integerPath, integerNs);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = "../shared/bench-data";
  if (const char* env = std::getenv("CORVELLE_BENCH_DATA")) folder = env;
  if (argc > 1) folder = argv[1];
  std::printf("%-18s %-9s %10s %10s %10s %8s %8s\n", "file", "op", "ours", "rapidjson", "nlohmann", "/rapid",
              "/nlohmann");
  std::printf("%-18s %-9s %10s %10s %10s\n", "", "", "MB/s", "MB/s", "MB/s");
  const char* const files[] = {"twitter.json", "citm_catalog.json", "canada.json", "deep.json", "wide.json"};
  std::vector<Engines> memory;
  for (const char* name : files) memory.push_back(MeasureMemory(ReadFile(folder + "/" + name)));
  for (const char* name : files) Measure(folder, name);
  std::printf("\n%-18s %-9s %10s %10s %10s %8s %8s\n", "file", "memory", "ours", "rapidjson", "nlohmann",
              "/rapid", "/nlohmann");
  for (std::size_t i = 0; i < std::size(files); ++i) PrintRow(files[i], "KiB", memory[i]);
  return 0;
}
