#include "resolver/share_text.h"

#include <chrono>
#include <ctime>

namespace corvelle {
namespace {

constexpr std::int64_t kChinaStandardOffsetSeconds = 8 * 3600;

// The end of the value that starts at 0-based `valueStart`: the next "&", or the end of the text.
std::size_t ValueEnd(const Text& text, std::size_t valueStart) {
  if (valueStart >= text.size()) return text.size();
  const int amp = FindText(text, "&", static_cast<int>(valueStart) + 1);
  return amp < 0 ? text.size() : static_cast<std::size_t>(amp - 1);
}

// 0-based start of the value of the first `key`=, or nothing when the text has no such key.
std::optional<std::size_t> ValueStart(const Text& text, std::string_view key, CaseMode mode) {
  Text needle(key);
  needle += '=';
  const int at = FindText(text, needle, 1, mode);
  if (at < 0) return std::nullopt;
  return static_cast<std::size_t>(at - 1) + needle.size();
}

void ReplaceValue(Text& text, std::size_t valueStart, std::string_view value) {
  text.replace(valueStart, ValueEnd(text, valueStart) - valueStart, value);
}

}  // namespace

Text TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 int startPosition, bool includeMarkers, bool wholeOnFailure, CaseMode mode) {
  const Text failure = wholeOnFailure ? Text(text) : Text();
  const int start = FindText(text, startMarker, startPosition, mode);
  if (start < 0) return failure;
  const int valueStart = start + static_cast<int>(startMarker.size());
  const int end = FindText(text, endMarker, valueStart, mode);
  if (end < 0) return failure;
  if (includeMarkers) return Text(text.substr(start - 1, end - start + endMarker.size()));
  return Text(text.substr(valueStart - 1, end - valueStart));
}

bool FillParam(Text& text, std::string_view key, std::string_view value, CaseMode mode) {
  const auto valueStart = ValueStart(text, key, mode);
  if (!valueStart) return false;
  ReplaceValue(text, *valueStart, value);
  return true;
}

bool PutParam(Text& text, std::string_view key, std::string_view value, bool onlyIfAbsent, CaseMode mode) {
  if (text.empty()) {
    text.append(key).append("=").append(value);
    return true;
  }
  const auto valueStart = ValueStart(text, key, mode);
  if (!valueStart) {
    text.append("&").append(key).append("=").append(value);
    return true;
  }
  if (onlyIfAbsent) return false;
  ReplaceValue(text, *valueStart, value);
  return true;
}

Text TextAfterLast(std::string_view text, std::string_view marker, bool includeMarker, bool wholeOnFailure,
                   CaseMode mode) {
  if (text.empty() || marker.empty()) return Text(text);
  const int at = FindLastText(text, marker, mode);
  if (at < 0) return wholeOnFailure ? Text(text) : Text();
  const std::size_t from = static_cast<std::size_t>(at - 1) + (includeMarker ? 0 : marker.size());
  return Text(text.substr(from));
}

Text MillisTimestampAt(std::int64_t localSeconds, int millis, bool utcBase,
                       std::optional<std::int64_t> offsetSeconds) {
  std::int64_t seconds = localSeconds - (utcBase ? 0 : kChinaStandardOffsetSeconds);
  if (offsetSeconds) seconds += *offsetSeconds;
  // millis + 1000 always has four digits; its last three are the millisecond, zero-padded.
  const std::string paddedMillis = std::to_string(millis % 1000 + 1000).substr(1);
  return std::to_string(seconds) + paddedMillis;
}

Text MillisTimestamp(bool utcBase, std::optional<std::int64_t> offsetSeconds) {
  const auto now = std::chrono::system_clock::now();
  const auto sinceEpoch = now.time_since_epoch();
  const std::time_t utcSeconds = std::chrono::system_clock::to_time_t(now);
  const int millis =
      static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000);
  std::tm local{};
  localtime_r(&utcSeconds, &local);
  // timegm reads the local calendar fields as if they were UTC: seconds of local wall-clock time.
  const std::int64_t localSeconds = timegm(&local);
  return MillisTimestampAt(localSeconds, millis, utcBase, offsetSeconds);
}

Text UrlEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  Text out;
  out.reserve(text.size() * 3);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool alnum =
        (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9');
    if (alnum) {
      out += c;
    } else if (byte == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  return out;
}

}  // namespace corvelle
