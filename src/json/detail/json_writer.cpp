#include "json/detail/json_writer.h"

#include <vector>

#include "json/detail/number_text.h"

namespace corvelle::detail {

namespace {

char16_t EscapeLetter(char16_t c) {
  switch (c) {
    case u'\\':
    case u'"':
    case u'/':
      return c;
    case u'\b':
      return u'b';
    case u'\t':
      return u't';
    case u'\n':
      return u'n';
    case u'\r':
      return u'r';
    case u'\f':
      return u'f';
    default:
      return 0;
  }
}

class Writer {
 public:
  Writer(bool pretty, bool escapeStrings) : pretty_(pretty), escape_(escapeStrings) {}

  WideText Write(const JsonNode* root) {
    WriteValue(root);
    while (!frames_.empty()) {
      Frame& frame = frames_.back();
      const JsonNode* container = frame.node;
      if (frame.next < frame.count) {
        const std::uint32_t i = frame.next++;
        if (container->kind == Kind::Array) {
          if (i > 0) out_.push_back(u',');
          WriteValue(ItemAt(container, i));
        } else {
          if (i > 0) {
            out_.push_back(u',');
            NewLine();
          }
          Indent(depth_);
          const MemberEntry& entry = MemberAt(container, i);
          WriteString(View(entry.key));
          out_.push_back(u':');
          WriteValue(entry.node);
        }
        continue;
      }
      const bool isArray = container->kind == Kind::Array;
      frames_.pop_back();
      --depth_;
      if (isArray) {
        out_.push_back(u']');
      } else {
        if (frame.count > 0) NewLine();
        if (depth_ > 0) Indent(depth_);
        out_.push_back(u'}');
      }
    }
    return std::move(out_);
  }

 private:
  struct Frame {
    const JsonNode* node;
    std::uint32_t next;
    std::uint32_t count;
  };

  void NewLine() {
    if (pretty_) out_.append(u"\r\n");
  }

  void Indent(int depth) {
    if (pretty_) out_.append(static_cast<std::size_t>(depth), u'\t');
  }

  void WriteAscii(const char* text, std::size_t length) { out_.append(text, text + length); }

  void WriteString(std::u16string_view text) {
    out_.push_back(u'"');
    if (escape_) {
      AppendEscaped(out_, text);
    } else {
      out_.append(text);
    }
    out_.push_back(u'"');
  }

  // Scalars are written at once; containers open here and are finished by the loop in Write.
  void WriteValue(const JsonNode* node) {
    char digits[32];
    switch (node->kind) {
      case Kind::Null:
        out_.append(u"null");
        return;
      case Kind::Boolean:
        out_.append(BooleanValue(node) ? u"true" : u"false");
        return;
      case Kind::Real:
        WriteAscii(digits, FormatReal(RealValue(node), digits));
        return;
      case Kind::Integer:
        WriteAscii(digits, FormatInteger(IntegerValue(node), digits));
        return;
      case Kind::Raw:
        if (node->source == Source::Block) out_.append(View(node->extra.sourceText));
        return;
      case Kind::String:
        WriteString(StringValue(node));
        return;
      case Kind::Array:
        out_.push_back(u'[');
        frames_.push_back(Frame{node, 0, ItemCount(node)});
        ++depth_;
        return;
      case Kind::Object:
        out_.push_back(u'{');
        NewLine();
        frames_.push_back(Frame{node, 0, MemberCount(node)});
        ++depth_;
        return;
    }
  }

  bool pretty_;
  bool escape_;
  int depth_ = 0;
  std::vector<Frame> frames_;
  WideText out_;
};

}  // namespace

void AppendEscaped(WideText& out, std::u16string_view text) {
  std::size_t runStart = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c > u'\\' || (c >= u'0' && c != u'\\')) continue;
    const char16_t letter = EscapeLetter(c);
    if (letter == 0) continue;
    out.append(text.substr(runStart, i - runStart));
    out.push_back(u'\\');
    out.push_back(letter);
    runStart = i + 1;
  }
  out.append(text.substr(runStart));
}

WideText WriteJsonText(const JsonNode* node, bool pretty, bool escapeStrings) {
  if (node == nullptr) return {};
  return Writer(pretty, escapeStrings).Write(node);
}

}  // namespace corvelle::detail
