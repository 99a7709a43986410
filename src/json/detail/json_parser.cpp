#include "json/detail/json_parser.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "json/detail/number_text.h"
#include "json/detail/packed_number.h"
#include "json/detail/sixteen_units.h"

namespace corvelle::detail {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Code units the scan has to look at outside strings; everything else is skipped in a tight loop.
constexpr bool IsStructural(char16_t c) {
  return c == u'\\' || c == u'"' || c == u'\'' || c == u':' || c == u',' || c == u'[' || c == u']' ||
         c == u'{' || c == u'}';
}

struct StructuralTable {
  bool marks[128] = {};
  constexpr StructuralTable() {
    for (char16_t c = 0; c < 128; ++c) marks[c] = IsStructural(c);
  }
};
constexpr StructuralTable kStructural;

bool IsPlain(char16_t c) {
  return c >= 128 || !kStructural.marks[c];
}

// Position of the first structural unit at or after `pos`, or `length`. Number-heavy and indented text
// spends most of its scan here, so sixteen units are tested at a time; "[" and "{" (and "]" and "}")
// differ only in bit 5, which lets one compare catch both.
std::size_t SkipPlain(const char16_t* text, std::size_t pos, std::size_t length) {
#if defined(__SSE2__)
  const auto is = [](char c) { return _mm_set1_epi8(c); };
  for (; pos + 16 <= length; pos += 16) {
    const __m128i units = LoadSixteenUnits(text + pos);
    const __m128i folded = _mm_or_si128(units, is(0x20));
    const __m128i brackets = _mm_or_si128(_mm_cmpeq_epi8(folded, is('{')), _mm_cmpeq_epi8(folded, is('}')));
    const __m128i quotes = _mm_or_si128(_mm_cmpeq_epi8(units, is('"')), _mm_cmpeq_epi8(units, is('\'')));
    const __m128i separators = _mm_or_si128(_mm_cmpeq_epi8(units, is(':')), _mm_cmpeq_epi8(units, is(',')));
    const __m128i marks = _mm_or_si128(_mm_or_si128(brackets, quotes),
                                       _mm_or_si128(separators, _mm_cmpeq_epi8(units, is('\\'))));
    const int found = _mm_movemask_epi8(marks);
    if (found != 0) return pos + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(found)));
  }
#endif
  while (pos < length && IsPlain(text[pos])) ++pos;
  return pos;
}

// Position of the first `quote` or backslash at or after `pos`, or `length`.
std::size_t SkipStringContent(const char16_t* text, std::size_t pos, std::size_t length, char16_t quote) {
#if defined(__SSE2__)
  const __m128i quotes = _mm_set1_epi8(static_cast<char>(quote));
  const __m128i backslash = _mm_set1_epi8('\\');
  for (; pos + 16 <= length; pos += 16) {
    const __m128i units = LoadSixteenUnits(text + pos);
    const int found =
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(units, quotes), _mm_cmpeq_epi8(units, backslash)));
    if (found != 0) return pos + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(found)));
  }
#endif
  while (pos < length && text[pos] != quote && text[pos] != u'\\') ++pos;
  return pos;
}

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// After a backslash these units are skipped over, so they never end a string or open one.
bool IsEscapedByScan(char16_t c) {
  return c == u'"' || c == u'\'' || c == u'\\';
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

class Parser {
 public:
  Parser(JsonNode* root, const char16_t* text, std::size_t length, bool decodeUnicode)
      : root_(root), text_(text), length_(length), decode_(decodeUnicode) {}

  int Run() {
    int code = kParseOk;
    while (pos_ < length_ && code == kParseOk) code = Step();
    if (code == kParseOk && !stack_.empty()) code = kParseOutsideContainer;
    return code;
  }

 private:
  bool TopIsArray() const { return stack_.back()->kind == Kind::Array; }

  void Pop() {
    if (stack_.empty()) return;
    ShrinkContainer(stack_.back());
    stack_.pop_back();
  }

  int Step() {
    if (quote_ != 0) return InString();
    const char16_t c = text_[pos_];
    switch (c) {
      case u'\\':
        pos_ += pos_ + 1 < length_ && IsEscapedByScan(text_[pos_ + 1]) ? 2 : 1;
        return kParseOk;
      case u'"':
      case u'\'':
        return OpenString(c);
      case u':':
        if (stack_.empty()) return kParseOutsideContainer;
        if (TopIsArray()) return kParseColonInArray;
        afterColon_ = true;
        valueStart_ = ++pos_;
        return kParseOk;
      case u',':
        return Comma();
      case u'{':
        return OpenObject();
      case u'[':
        return OpenArray();
      case u']':
        return CloseArray();
      case u'}':
        return CloseObject();
      default:
        if (valueStart_ == pos_ && !stringValue_ && !stack_.empty() && AwaitsValue()) return NumberRun();
        // Plain content of a scalar or blanks between tokens: nothing happens until the next mark.
        pos_ = SkipPlain(text_, pos_ + 1, length_);
        return kParseOk;
    }
  }

  // True where the innermost container's next value starts: anywhere in an Array, after the colon in an
  // Object.
  bool AwaitsValue() const {
    return TopIsArray() ? !afterColon_ : afterColon_ && keyStart_ != kNone;
  }

  // Numbers written without blanks before the comma or closing bracket after them ("1,2.5,-3]", or a
  // member's "12}") are each read in one scan and stored at once, without going round the mark-by-mark
  // loop. The first value that does not fit (blanks after it, a long or odd token, anything else) is
  // left to that loop, from the start of the value; the tree is the same either way.
  int NumberRun() {
    const bool inArray = TopIsArray();
    const char16_t closer = inArray ? u']' : u'}';
    PackedToken packed;
    NumberClass number = NumberClass::None;
    for (;;) {
      std::size_t first = pos_;
      while (first < length_ && IsBlank(text_[first])) ++first;
      if (!ScanNumberToken(text_ + first, length_ - first, packed, number)) break;
      const std::size_t end = first + packed.length;
      const char16_t next = text_[end];
      if (next != u',' && next != closer) break;
      JsonNode* node = NewPackedNumberNode(number == NumberClass::Integer ? Kind::Integer : Kind::Real,
                                           std::u16string_view(text_ + first, packed.length), packed);
      const int code = inArray ? AppendItem(node) : SetPendingMember(node);
      if (code != kParseOk) return code;
      pos_ = end + 1;
      if (next == closer) {
        ResetAfterClose();
        Pop();
        return kParseOk;
      }
      valueStart_ = pos_;
      // In an Object a key comes next.
      if (!inArray) {
        afterColon_ = false;
        return kParseOk;
      }
    }
    // Plain content where that value starts is skipped here, as the loop would do after trying this
    // again; a mark is left to the loop.
    if (pos_ < length_ && IsPlain(text_[pos_])) pos_ = SkipPlain(text_, pos_ + 1, length_);
    return kParseOk;
  }

  // Inside a string only a backslash and the quote that opened it matter.
  int InString() {
    pos_ = SkipStringContent(text_, pos_, length_, quote_);
    if (pos_ == length_) return kParseOk;
    if (text_[pos_] == u'\\') {
      (inKey_ ? keyEscaped_ : valueEscaped_) = true;
      pos_ += pos_ + 1 < length_ && IsEscapedByScan(text_[pos_ + 1]) ? 2 : 1;
      return kParseOk;
    }
    if (inKey_) {
      keyLength_ = pos_ - keyStart_;
    } else {
      stringLength_ = pos_ - valueStart_;
    }
    quote_ = 0;
    ++pos_;
    return kParseOk;
  }

  int OpenString(char16_t c) {
    if (stack_.empty()) return kParseOutsideContainer;
    quote_ = c;
    inKey_ = !TopIsArray() && !afterColon_;
    if (inKey_) {
      keyStart_ = pos_ + 1;
      keyEscaped_ = false;
    } else {
      stringValue_ = true;
      valueStart_ = pos_ + 1;
      valueEscaped_ = false;
    }
    ++pos_;
    return kParseOk;
  }

  int Comma() {
    if (stack_.empty()) return kParseOutsideContainer;
    if (valueStart_ != kNone) {
      const int code = TopIsArray() ? StoreArrayRule() : StoreObjectRule();
      if (code != kParseOk) return code;
      afterColon_ = false;
      stringValue_ = false;
    }
    valueStart_ = ++pos_;
    return kParseOk;
  }

  // Stores a new container under the pending key (or appends it to the top Array) and pushes it. The
  // callers have made sure that an Object has a key pending.
  int OpenNested(JsonNode* node) {
    if (node == nullptr) return kParseNoMemory;
    const bool inArray = TopIsArray();
    const int code = inArray ? AppendItem(node) : SetPendingMember(node);
    if (code != kParseOk) return code;
    if (!inArray) keyLength_ = 0;
    stack_.push_back(node);
    return kParseOk;
  }

  int OpenObject() {
    afterColon_ = false;
    stringValue_ = false;
    if (stack_.empty()) {
      MakeObject(root_);
      stack_.push_back(root_);
    } else {
      if (!TopIsArray() && keyStart_ == kNone) return kParseNoKey;
      const int code = OpenNested(NewObjectNode());
      if (code != kParseOk) return code;
      keyStart_ = kNone;
      valueStart_ = kNone;
    }
    ++pos_;
    return kParseOk;
  }

  int OpenArray() {
    valueStart_ = pos_ + 1;
    afterColon_ = false;
    stringValue_ = false;
    if (stack_.empty()) {
      MakeArray(root_);
      stack_.push_back(root_);
    } else {
      if (!TopIsArray() && keyStart_ == kNone) return kParseNoKey;
      const int code = OpenNested(NewArrayNode());
      if (code != kParseOk) return code;
    }
    ++pos_;
    return kParseOk;
  }

  void ResetAfterClose() {
    afterColon_ = false;
    keyStart_ = kNone;
    valueStart_ = kNone;
    stringValue_ = false;
  }

  int CloseArray() {
    if (valueStart_ != kNone) {
      if (!stringValue_ && !SpanHasContent() && text_[valueStart_ - 1] != u'[') return kParseEmptyElement;
      const int code = StoreArrayRule();
      if (code != kParseOk) return code;
      ResetAfterClose();
    }
    Pop();
    ++pos_;
    return kParseOk;
  }

  int CloseObject() {
    if (valueStart_ != kNone) {
      const int code = StoreObjectRule();
      if (code != kParseOk) return code;
      ResetAfterClose();
    }
    Pop();
    ++pos_;
    return kParseOk;
  }

  bool SpanHasContent() const {
    for (std::size_t i = valueStart_; i < pos_; ++i) {
      if (text_[i] > 32) return true;
    }
    return false;
  }

  std::u16string_view KeyText() {
    const std::u16string_view raw(text_ + keyStart_, keyLength_);
    if (!keyEscaped_) return raw;
    keyBuffer_.assign(raw);
    keyBuffer_.resize(UnescapeJsonString(keyBuffer_.data(), keyBuffer_.size(), decode_));
    return keyBuffer_;
  }

  // The pending value's token: a string's content, or the scalar's units without blanks.
  std::u16string_view Token() {
    if (stringValue_) {
      // A ":" or "," after the closing quote moves valueStart on while the length stays that of the
      // string read before; the span is kept inside the text whatever it then covers.
      const std::u16string_view raw(text_ + valueStart_, std::min(stringLength_, length_ - valueStart_));
      if (!valueEscaped_) return raw;
      valueBuffer_.assign(raw);
      valueBuffer_.resize(UnescapeJsonString(valueBuffer_.data(), valueBuffer_.size(), decode_));
      return valueBuffer_;
    }
    std::size_t first = valueStart_;
    std::size_t last = pos_;
    while (first < last && IsBlank(text_[first])) ++first;
    while (last > first && IsBlank(text_[last - 1])) --last;
    const std::u16string_view trimmed(text_ + first, last - first);
    // Blanks are all at or below 32; most tokens hold no unit that low at all. A flag rather than a
    // count keeps the loop in 16-bit lanes.
    unsigned low = 0;
    for (const char16_t c : trimmed) low |= c <= 32 ? 1u : 0u;
    if (low == 0) return trimmed;
    valueBuffer_.clear();
    for (const char16_t c : trimmed) {
      if (!IsBlank(c)) valueBuffer_.push_back(c);
    }
    return valueBuffer_;
  }

  JsonNode* MakeValue(std::u16string_view token) {
    if (stringValue_) return NewStringNode(token);
    if (token == u"null") return NewNullNode();
    if (token == u"true") return NewBooleanNode(true);
    if (token == u"false") return NewBooleanNode(false);
    switch (ClassifyNumber(token)) {
      case NumberClass::Integer:
        return NewNumberNode(Kind::Integer, token);
      case NumberClass::Real:
        return NewNumberNode(Kind::Real, token);
      case NumberClass::None:
        break;
    }
    return NewRawNode(token);
  }

  int StoreArrayRule() {
    const std::u16string_view token = Token();
    if (!stringValue_ && token.empty()) return kParseOk;
    if (stack_.empty()) return kParseOutsideContainer;
    return AppendItem(MakeValue(token));
  }

  int StoreObjectRule() {
    if (keyStart_ == kNone) return kParseNoKey;
    const std::u16string_view token = Token();
    if (stack_.empty()) return kParseOutsideContainer;
    return SetPendingMember(MakeValue(token));
  }

  // Attach a node to the innermost container, which takes over its reference; a scalar that could not
  // be made (nullptr) is dropped.
  int AppendItem(JsonNode* node) {
    if (node != nullptr && !ArrayAppendChild(stack_.back(), node)) {
      Release(node);
      return kParseAttachFailed;
    }
    return kParseOk;
  }

  int SetPendingMember(JsonNode* node) {
    if (node == nullptr) return kParseOk;
    const std::u16string_view key = KeyText();
    if (!ObjectSetMember(stack_.back(), key, KeyHash(key), node)) {
      Release(node);
      return kParseAttachFailed;
    }
    return kParseOk;
  }

  JsonNode* root_;
  const char16_t* text_;
  std::size_t length_;
  bool decode_;
  std::vector<JsonNode*> stack_;  // open containers, innermost last; each owned by its parent
  std::size_t pos_ = 0;
  char16_t quote_ = 0;
  bool inKey_ = false;
  std::size_t keyStart_ = kNone;
  std::size_t keyLength_ = 0;
  bool keyEscaped_ = false;
  std::size_t valueStart_ = kNone;
  std::size_t stringLength_ = 0;
  bool valueEscaped_ = false;
  bool afterColon_ = false;
  bool stringValue_ = false;
  std::u16string keyBuffer_;
  std::u16string valueBuffer_;
};

}  // namespace

int ParseJsonText(JsonNode* root, const char16_t* text, std::size_t length, bool decodeUnicode) {
  if (root == nullptr || text == nullptr) return kParseNoInput;
  if (length == 0) return kParseOk;
  EmptyNodeValue(root);
  Parser parser(root, text, length, decodeUnicode);
  const int code = parser.Run();
  if (code != kParseOk) EmptyNodeValue(root);
  return code;
}

std::size_t UnescapeJsonString(char16_t* text, std::size_t length, bool decodeUnicode) {
  std::size_t read = 0;
  std::size_t write = 0;
  while (read < length) {
    const char16_t c = text[read];
    if (c != u'\\' || read + 1 >= length) {
      text[write++] = c;
      ++read;
      continue;
    }
    const char16_t next = text[read + 1];
    char16_t decoded = 0;
    switch (next) {
      case u'"':
      case u'\\':
      case u'/':
        decoded = next;
        break;
      case u'b':
        decoded = u'\b';
        break;
      case u't':
        decoded = u'\t';
        break;
      case u'n':
        decoded = u'\n';
        break;
      case u'r':
        decoded = u'\r';
        break;
      case u'f':
        decoded = u'\f';
        break;
      case u'u':
        if (decodeUnicode && read + 6 <= length) {
          int unit = 0;
          bool hex = true;
          for (std::size_t k = read + 2; k < read + 6 && hex; ++k) {
            const int digit = HexValue(text[k]);
            hex = digit >= 0;
            unit = unit * 16 + digit;
          }
          if (hex) {
            if (unit == 0) return write;
            text[write++] = static_cast<char16_t>(unit);
            read += 6;
            continue;
          }
        }
        [[fallthrough]];
      default:
        // Not an escape this reader decodes: both units stay.
        text[write++] = c;
        text[write++] = next;
        read += 2;
        continue;
    }
    text[write++] = decoded;
    read += 2;
  }
  return write;
}

const char* ParseCodeName(int code) {
  switch (code) {
    case kParseOk:
      return "ok";
    case kParseAttachFailed:
      return "attach failed";
    case kParseNoInput:
      return "no input";
    case kParseNoMemory:
      return "out of memory";
    case kParseNoKey:
      return "value without a key";
    case kParseOutsideContainer:
      return "outside any container";
    case kParseEmptyElement:
      return "empty array element";
    case kParseColonInArray:
      return "colon inside an array";
    default:
      return "unknown";
  }
}

}  // namespace corvelle::detail
