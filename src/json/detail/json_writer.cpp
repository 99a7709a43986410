#include "json/detail/json_writer.h"

#include <cstring>
#include <vector>

#include "json/detail/number_text.h"

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

class Writer {
 public:
  Writer(std::u16string& buffer, std::vector<Frame>& frames, bool pretty, bool escapeStrings)
      : buffer_(buffer), frames_(frames), pretty_(pretty), escape_(escapeStrings) {
    frames_.clear();
    if (buffer_.empty()) buffer_.resize(4096);
    out_ = buffer_.data();
    end_ = out_ + buffer_.size();
  }

  std::u16string_view Write(const JsonNode* root) {
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
    return std::u16string_view(buffer_.data(), static_cast<std::size_t>(out_ - buffer_.data()));
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
    *out_++ = c;
  }

  void Append(std::u16string_view text) {
    if (text.empty()) return;  // an empty view may carry no pointer at all
    Reserve(text.size());
    std::memcpy(out_, text.data(), text.size() * sizeof(char16_t));
    out_ += text.size();
  }

  void AppendAscii(const char* text, std::size_t length) {
    Reserve(length);
    for (std::size_t i = 0; i < length; ++i) *out_++ = static_cast<unsigned char>(text[i]);
  }

  void NewLine() {
    if (!pretty_) return;
    Reserve(2);
    *out_++ = u'\r';
    *out_++ = u'\n';
  }

  void Indent(int depth) {
    if (!pretty_) return;
    Reserve(static_cast<std::size_t>(depth));
    for (int i = 0; i < depth; ++i) *out_++ = u'\t';
  }

  void WriteString(std::u16string_view text) {
    // Room for the worst case: every unit escaped, plus the quotes.
    Reserve(2 * text.size() + 2);
    *out_++ = u'"';
    if (escape_) {
      for (const char16_t c : text) {
        if (MayNeedEscape(c)) {
          if (const char16_t letter = EscapeLetter(c)) {
            *out_++ = u'\\';
            *out_++ = letter;
            continue;
          }
        }
        *out_++ = c;
      }
    } else if (!text.empty()) {
      std::memcpy(out_, text.data(), text.size() * sizeof(char16_t));
      out_ += text.size();
    }
    *out_++ = u'"';
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

  std::u16string& buffer_;
  std::vector<Frame>& frames_;
  bool pretty_;
  bool escape_;
  char16_t* out_;
  char16_t* end_;
  int depth_ = 0;
};

// Output and stack are kept per thread between calls, so that repeated writing does not grow and copy
// them anew each time.
thread_local std::u16string writeBuffer;
thread_local std::vector<Frame> writeFrames;

}  // namespace

std::u16string_view WriteJsonTextView(const JsonNode* node, bool pretty, bool escapeStrings) {
  if (node == nullptr) return {};
  if (writeBuffer.size() > kKeptBufferUnits) std::u16string().swap(writeBuffer);
  if (writeFrames.capacity() > kKeptBufferUnits / 8) std::vector<Frame>().swap(writeFrames);
  return Writer(writeBuffer, writeFrames, pretty, escapeStrings).Write(node);
}

WideText WriteJsonText(const JsonNode* node, bool pretty, bool escapeStrings) {
  return WideText(WriteJsonTextView(node, pretty, escapeStrings));
}

}  // namespace corvelle::detail
