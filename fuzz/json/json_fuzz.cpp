// Arbitrary bytes through the JSON engine: parse both ways, write compact and pretty, parse the output
// again, then a few path reads, writes and edits chosen by the input.
//
//   json_fuzz -max_total_time=900 /tmp/json-corpus
//
// Byte 0 picks how the rest is read (code page 936 text or raw UTF-16 units); the last bytes of the
// input, read backwards, choose the path operations.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "json/json_document.h"
#include "text/encoding.h"

namespace {

using corvelle::JsonDocument;
using corvelle::Text;

// Small pieces the paths are made of, so that paths hit the nodes the text built.
constexpr std::string_view kPieces[] = {"a",   "b",    "[0]",  "[1]", "[3]", ".",
                                        "\\.", "[-1]", "list", "x.y", "]",   "["};

class Choices {
 public:
  Choices(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Next() { return size_ == 0 ? 0 : data_[--size_]; }
  Text Path() {
    Text path;
    const int pieces = Next() % 4;
    for (int i = 0; i < pieces; ++i) path += kPieces[Next() % std::size(kPieces)];
    return path;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

void Exercise(JsonDocument& document, Choices& choices) {
  for (int step = 0; step < 8; ++step) {
    const Text path = choices.Path();
    switch (choices.Next() % 16) {
      case 0:
        (void)document.GetString(path);
        break;
      case 1:
        (void)document.GetInteger(path);
        (void)document.GetReal(path);
        break;
      case 2:
        (void)document.Exists(path);
        break;
      case 3:
        (void)document.SetInteger(path, choices.Next());
        break;
      case 4:
        (void)document.SetMember(path, choices.Path(), document.GetNode(choices.Path()));
        break;
      case 5:
        (void)document.Append(path, document.GetNode(choices.Path()));
        break;
      case 6:
        (void)document.SetItem(path, choices.Next() % 5 - 1, document.GetNode(choices.Path()));
        break;
      case 7:
        (void)document.RemoveMember(path, choices.Path());
        break;
      case 8:
        (void)document.RemoveItem(path, choices.Next() % 4);
        break;
      case 9:
        (void)document.Clone(path).ToText({}, true);
        break;
      case 10:
        (void)document.SortMembers(path, choices.Next() % 2 == 0);
        break;
      case 11:
        (void)document.Merge(document.ToText(path), false, choices.Next() % 2 == 0);
        break;
      case 12: {
        JsonDocument node = document.GetNode(path);
        node.Detach();
        (void)node.ToText();
        break;
      }
      case 13:
        document.EmptyValue(path);
        break;
      case 14:
        (void)document.SetString(path, path);
        break;
      default: {
        std::vector<corvelle::JsonDocument> children;
        std::vector<Text> keys;
        (void)document.GetChildren(path, children);
        (void)document.GetKeys(path, keys);
        break;
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  corvelle::WideText text;
  if (data[0] & 1) {
    for (std::size_t i = 1; i + 1 < size; i += 2)
      text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  } else {
    text = corvelle::TextToUtf16(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  }
  for (const bool decode : {false, true}) {
    JsonDocument document;
    const bool parsed = document.ParseW(text, decode);
    const corvelle::WideText compact = document.ToTextW();
    const corvelle::WideText pretty = document.ToTextW({}, true);
    (void)document.ToText({}, false, false);
    JsonDocument again;
    (void)again.ParseW(compact, decode);
    (void)again.ParseW(pretty, decode);
    if (parsed) {
      Choices choices(data, size);
      Exercise(document, choices);
      (void)document.ToTextW();
    }
  }
  return 0;
}
