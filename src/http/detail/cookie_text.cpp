#include "http/detail/cookie_text.h"

#include <array>
#include <string>

#include "http/detail/header_block.h"
#include "text/text_ops.h"

namespace corvelle::detail {

namespace {

constexpr std::string_view kSeparator = "; ";

Text JarKey(std::string_view name) {
  Text key(kSeparator);
  key.append(name);
  key.push_back('=');
  return key;
}

}  // namespace

std::size_t FindFrom(std::string_view text, std::string_view needle, std::size_t from) {
  if (from >= text.size()) return std::string_view::npos;
  const int position = FindText(text, needle, static_cast<int>(from) + 1);
  return position < 0 ? std::string_view::npos : static_cast<std::size_t>(position - 1);
}

bool IsDeletionMarker(std::string_view pair) {
  constexpr std::array<std::string_view, 3> kMarkers = {"=deleted", "=DELETED", "=Deleted"};
  for (const std::string_view marker : kMarkers) {
    if (pair.ends_with(marker)) return true;
  }
  return false;
}

std::vector<Text> SetCookiePairs(std::string_view headers) {
  std::vector<Text> pairs;
  for (const std::string_view value : HeaderValues(headers, "Set-Cookie")) {
    pairs.push_back(TrimLeadingSpaces(value.substr(0, value.find(';'))));
  }
  return pairs;
}

bool MergeResponsePair(Text& jar, std::string_view pair, bool keepOnEmpty) {
  const std::size_t equals = pair.find('=');
  if (equals == std::string_view::npos) return false;
  const std::string_view nameEq = pair.substr(0, equals + 1);
  const bool deletion = IsDeletionMarker(pair);
  const std::size_t entry = FindFrom(jar, Text(kSeparator) + Text(nameEq));
  if (entry == std::string_view::npos) {
    if (deletion) return false;
    jar.append(pair);
    jar.append(kSeparator);
    return true;
  }
  if (keepOnEmpty && pair.size() == nameEq.size()) return false;
  const std::size_t nameStart = entry + kSeparator.size();
  const std::size_t entryEnd = FindFrom(jar, kSeparator, nameStart + nameEq.size());
  if (entryEnd == std::string_view::npos) return false;
  if (deletion) {
    if (keepOnEmpty) return false;
    jar.erase(entry, entryEnd - entry);
    return true;
  }
  jar.replace(nameStart, entryEnd - nameStart, pair);
  return true;
}

bool MergeCallerPair(Text& jar, std::string_view pair) {
  const Text key = JarKey(pair.substr(0, pair.find('=')));
  const std::size_t entry = FindFrom(jar, key);
  if (entry == std::string_view::npos) {
    jar.append(pair);
    jar.append(kSeparator);
    return true;
  }
  const std::size_t entryEnd = FindFrom(jar, kSeparator, entry + key.size());
  if (entryEnd == std::string_view::npos) return false;
  const std::size_t nameStart = entry + kSeparator.size();
  jar.replace(nameStart, entryEnd - nameStart, pair);
  return true;
}

bool RemoveJarEntry(Text& jar, std::string_view name) {
  const Text key = JarKey(name);
  const std::size_t entry = FindFrom(jar, key);
  if (entry == std::string_view::npos) return false;
  const std::size_t entryEnd = FindFrom(jar, kSeparator, entry + key.size());
  if (entryEnd == std::string_view::npos) return false;
  jar.erase(entry, entryEnd - entry);
  return true;
}

Text NormaliseJar(std::string_view text) {
  Text jar;
  if (!text.starts_with(kSeparator)) jar = kSeparator;
  jar.append(text);
  if (!jar.ends_with(kSeparator)) {
    const char last = jar.back();
    if (last != ';') jar.push_back(';');
    if (last != ' ') jar.push_back(' ');
  }
  return jar;
}

Text JarContents(std::string_view jar, int storedLength) {
  constexpr int kFrame = 2 * static_cast<int>(kSeparator.size());
  if (storedLength <= kFrame || static_cast<std::size_t>(storedLength) > jar.size()) return {};
  return Text(jar.substr(kSeparator.size(), static_cast<std::size_t>(storedLength - kFrame)));
}

}  // namespace corvelle::detail
