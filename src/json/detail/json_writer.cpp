#include "json/detail/json_writer.h"

#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "json/detail/number_text.h"
#include "text/encoding.h"

namespace corvelle::detail {

namespace {

// A buffer kept per thread, so that writing a large tree does not grow and copy a fresh string every
// time; one that grew past this size is let go of after use.
constexpr std::size_t kKeptBufferUnits = std::size_t{1} << 21;

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

// Every unit the writer may escape is below "0" except the backslash.
bool MayNeedEscape(char16_t c) {
  return c < u'0' || c == u'\\';
}

// One open container: the next child to write and how many there are.
struct Frame {
  const JsonNode* node;
  std::uint32_t next;
  std::uint32_t count;
};

// Writes UTF-16 (Unit = char16_t) or code page 936 (Unit = char). Everything the writer makes itself is
// ASCII; texts from the tree (keys, strings, Raw tokens) are converted a piece at a time, which gives
// the same bytes as converting the whole output, since each piece is whole.
template <typename Unit>
class Writer {
 public:
  using Buffer = std::basic_string<Unit>;

  Writer(Buffer& buffer, std::vector<Frame>& frames, bool pretty, bool escapeStrings)
      : buffer_(buffer), frames_(frames), pretty_(pretty), escape_(escapeStrings) {
    frames_.clear();
    if (buffer_.empty()) buffer_.resize(4096);
    out_ = buffer_.data();
    end_ = out_ + buffer_.size();
  }

  std::basic_string_view<Unit> Write(const JsonNode* root) {
    WriteValue(root);
    while (!frames_.empty()) {
      Frame& frame = frames_.back();
      const JsonNode* container = frame.node;
      if (frame.next < frame.count) {
        const std::uint32_t i = frame.next++;
        if (container->kind == Kind::Array) {
          if (i > 0) Put(u',');
          WriteValue(ItemAt(container, i));
        } else {
          if (i > 0) {
            Put(u',');
            NewLine();
          }
          Indent(depth_);
          const MemberEntry& entry = MemberAt(container, i);
          WriteString(View(entry.key));
          Put(u':');
          WriteValue(entry.node);
        }
        continue;
      }
      const bool isArray = container->kind == Kind::Array;
      const bool hadMembers = frame.count > 0;
      frames_.pop_back();
      --depth_;
      if (isArray) {
        Put(u']');
      } else {
        if (hadMembers) NewLine();
        if (depth_ > 0) Indent(depth_);
        Put(u'}');
      }
    }
    return std::basic_string_view<Unit>(buffer_.data(), static_cast<std::size_t>(out_ - buffer_.data()));
  }

 private:
  void Reserve(std::size_t units) {
    if (static_cast<std::size_t>(end_ - out_) >= units) return;
    const std::size_t used = static_cast<std::size_t>(out_ - buffer_.data());
    buffer_.resize(std::max(buffer_.size() * 2, used + units));
    out_ = buffer_.data() + used;
    end_ = buffer_.data() + buffer_.size();
  }

  void Put(char16_t c) {
    Reserve(1);
    *out_++ = static_cast<Unit>(c);
  }

  // Appends a text of the tree: copied as it is, or converted to code page 936.
  void Append(std::u16string_view text) {
    if (text.empty()) return;  // an empty view may carry no pointer at all
    if constexpr (std::is_same_v<Unit, char16_t>) {
      Reserve(text.size());
      std::memcpy(out_, text.data(), text.size() * sizeof(char16_t));
      out_ += text.size();
    } else {
      bool ascii = true;
      for (const char16_t c : text) ascii = ascii && c < 0x80;
      if (!ascii) {
        const Text converted = Utf16ToText(text);
        Reserve(converted.size());
        std::memcpy(out_, converted.data(), converted.size());
        out_ += converted.size();
        return;
      }
      Reserve(text.size());
      for (const char16_t c : text) *out_++ = static_cast<char>(c);
    }
  }

  void AppendAscii(const char* text, std::size_t length) {
    Reserve(length);
    for (std::size_t i = 0; i < length; ++i) *out_++ = static_cast<Unit>(text[i]);
  }

  void NewLine() {
    if (!pretty_) return;
    Reserve(2);
    *out_++ = '\r';
    *out_++ = '\n';
  }

  void Indent(int depth) {
    if (!pretty_) return;
    Reserve(static_cast<std::size_t>(depth));
    for (int i = 0; i < depth; ++i) *out_++ = '\t';
  }

  void WriteString(std::u16string_view text) {
    Put(u'"');
    if (!escape_) {
      Append(text);
    } else if constexpr (std::is_same_v<Unit, char16_t>) {
      // Room for the worst case: every unit escaped.
      Reserve(2 * text.size());
      AppendEscaped(text);
    } else {
      bool ascii = true;
      for (const char16_t c : text) ascii = ascii && c < 0x80;
      if (ascii) {
        Reserve(2 * text.size());
        AppendEscaped(text);
      } else {
        // Escapes are ASCII, so escaping first and converting after gives the same bytes.
        escaped_.clear();
        for (const char16_t c : text) {
          const char16_t letter = MayNeedEscape(c) ? EscapeLetter(c) : 0;
          if (letter != 0) escaped_.push_back(u'\\');
          escaped_.push_back(letter != 0 ? letter : c);
        }
        Append(escaped_);
      }
    }
    Put(u'"');
  }

  // Escapes into room already reserved.
  void AppendEscaped(std::u16string_view text) {
    for (const char16_t c : text) {
      if (MayNeedEscape(c)) {
        if (const char16_t letter = EscapeLetter(c)) {
          *out_++ = '\\';
          *out_++ = static_cast<Unit>(letter);
          continue;
        }
      }
      *out_++ = static_cast<Unit>(c);
    }
  }

  // A Real as read keeps its token; most tokens give the text straight from their digits.
  void WriteReal(const JsonNode* node, char* digits) {
    std::size_t length = 0;
    const bool fromToken =
        (node->source == Source::Packed &&
         FormatPackedDecimal(node->value.bits, node->extra.bits, node->packedLength, digits, length)) ||
        (node->source == Source::Block && FormatDecimalToken(View(node->extra.sourceText), digits, length));
    if (fromToken) {
      AppendAscii(digits, length);
      return;
    }
    AppendAscii(digits, FormatReal(RealValue(node), digits));
  }

  // Scalars are written at once; containers open here and are finished by the loop in Write.
  void WriteValue(const JsonNode* node) {
    char digits[32];
    switch (node->kind) {
      case Kind::Null:
        Append(u"null");
        return;
      case Kind::Boolean:
        Append(BooleanValue(node) ? std::u16string_view(u"true") : std::u16string_view(u"false"));
        return;
      case Kind::Real:
        WriteReal(node, digits);
        return;
      case Kind::Integer:
        AppendAscii(digits, FormatInteger(IntegerValue(node), digits));
        return;
      case Kind::Raw:
        if (node->source == Source::Block) Append(View(node->extra.sourceText));
        return;
      case Kind::String:
        WriteString(StringValue(node));
        return;
      case Kind::Array:
        Put(u'[');
        frames_.push_back(Frame{node, 0, ItemCount(node)});
        ++depth_;
        return;
      case Kind::Object:
        Put(u'{');
        NewLine();
        frames_.push_back(Frame{node, 0, MemberCount(node)});
        ++depth_;
        return;
    }
  }

  Buffer& buffer_;
  std::vector<Frame>& frames_;
  bool pretty_;
  bool escape_;
  Unit* out_;
  Unit* end_;
  std::u16string escaped_;
  int depth_ = 0;
};

// Output and stack are kept per thread between calls, so that repeated writing does not grow and copy
// them anew each time.
thread_local std::u16string wideBuffer;
thread_local std::string textBuffer;
thread_local std::vector<Frame> writeFrames;

template <typename Unit>
std::basic_string_view<Unit> WriteInto(std::basic_string<Unit>& buffer, const JsonNode* node, bool pretty,
                                       bool escapeStrings) {
  if (node == nullptr) return {};
  if (buffer.size() > kKeptBufferUnits) std::basic_string<Unit>().swap(buffer);
  if (writeFrames.capacity() > kKeptBufferUnits / 8) std::vector<Frame>().swap(writeFrames);
  return Writer<Unit>(buffer, writeFrames, pretty, escapeStrings).Write(node);
}

}  // namespace

std::u16string_view WriteJsonTextView(const JsonNode* node, bool pretty, bool escapeStrings) {
  return WriteInto(wideBuffer, node, pretty, escapeStrings);
}

WideText WriteJsonText(const JsonNode* node, bool pretty, bool escapeStrings) {
  return WideText(WriteJsonTextView(node, pretty, escapeStrings));
}

Text WriteJsonTextAsText(const JsonNode* node, bool pretty, bool escapeStrings) {
  return Text(WriteInto(textBuffer, node, pretty, escapeStrings));
}

}  // namespace corvelle::detail
