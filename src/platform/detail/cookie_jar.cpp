#include "platform/detail/cookie_jar.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "platform/detail/blank_trim.h"
#include "platform/detail/url_parts.h"
#include "text/text_ops.h"

namespace corvelle::platform::detail {
namespace {

struct CookieUrl {
  bool secure = false;
  std::string host;
  std::string path;
};

bool ParseCookieUrl(std::string_view url, CookieUrl& parsed) {
  UrlPieces<char> pieces;
  if (SplitUrl(url, pieces) != CrackResult::kOk) {
    return false;
  }
  parsed.secure = pieces.secure;
  parsed.host = ToLowerAscii(pieces.host);
  parsed.path = pieces.path.empty() ? std::string("/") : std::string(pieces.path);
  return true;
}

// The directory of a request path: the cookie path when a cookie names none.
std::string DefaultPath(std::string_view path) {
  const auto lastSlash = path.rfind('/');
  if (path.empty() || path.front() != '/' || lastSlash == 0) {
    return "/";
  }
  return std::string(path.substr(0, lastSlash));
}

bool IsAddressLiteral(std::string_view host) {
  return host.find(':') != std::string_view::npos ||
         std::all_of(host.begin(), host.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

bool DomainMatches(std::string_view host, std::string_view domain) {
  if (host == domain) {
    return true;
  }
  return !IsAddressLiteral(host) && host.size() > domain.size() && host.ends_with(domain) &&
         host[host.size() - domain.size() - 1] == '.';
}

bool PathMatches(std::string_view requestPath, std::string_view cookiePath) {
  if (!requestPath.starts_with(cookiePath)) {
    return false;
  }
  return requestPath.size() == cookiePath.size() || cookiePath.back() == '/' ||
         requestPath[cookiePath.size()] == '/';
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

bool ReadNumber(std::string_view token, int& value) {
  const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
  return error == std::errc() && end == token.data() + token.size();
}

}  // namespace

std::optional<std::time_t> ParseCookieDate(std::string_view text) {
  static constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                               "jul", "aug", "sep", "oct", "nov", "dec"};
  int hour = -1, minute = -1, second = -1, day = -1, month = -1, year = -1;
  std::size_t position = 0;
  while (position < text.size()) {
    const auto isDelimiter = [](char c) {
      return !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ':');
    };
    while (position < text.size() && isDelimiter(text[position])) {
      ++position;
    }
    const std::size_t start = position;
    while (position < text.size() && !isDelimiter(text[position])) {
      ++position;
    }
    const std::string_view token = text.substr(start, position - start);
    if (token.empty()) {
      continue;
    }
    int number = 0;
    if (hour < 0 && token.find(':') != std::string_view::npos) {
      const auto first = token.find(':');
      const auto secondColon = token.find(':', first + 1);
      if (secondColon != std::string_view::npos && ReadNumber(token.substr(0, first), hour) &&
          ReadNumber(token.substr(first + 1, secondColon - first - 1), minute) &&
          ReadNumber(token.substr(secondColon + 1), second)) {
        continue;
      }
      hour = -1;
    } else if (month < 0 && token.size() >= 3 &&
               std::find(kMonths.begin(), kMonths.end(), ToLowerAscii(token.substr(0, 3))) != kMonths.end()) {
      month = static_cast<int>(std::find(kMonths.begin(), kMonths.end(), ToLowerAscii(token.substr(0, 3))) -
                               kMonths.begin()) +
              1;
    } else if (day < 0 && token.size() <= 2 && ReadNumber(token, number)) {
      day = number;
    } else if (year < 0 && token.size() >= 2 && token.size() <= 4 && ReadNumber(token, number)) {
      year = number;
    }
  }
  if (year >= 70 && year <= 99) {
    year += 1900;
  } else if (year >= 0 && year <= 69) {
    year += 2000;
  }
  if (day < 1 || day > 31 || month < 1 || year < 1601 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 59) {
    return std::nullopt;
  }
  const std::int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  return static_cast<std::time_t>(days * 86400 + hour * 3600 + minute * 60 + second);
}

bool CookieJar::Set(std::string_view url, std::string_view setCookie, EmptyValue emptyValue,
                    std::time_t now) {
  CookieUrl origin;
  if (!ParseCookieUrl(url, origin)) {
    return false;
  }
  const auto pairEnd = std::min(setCookie.find(';'), setCookie.size());
  const std::string_view pair = setCookie.substr(0, pairEnd);
  const auto equals = pair.find('=');
  if (equals == std::string_view::npos) {
    return false;
  }
  Cookie cookie;
  cookie.name = std::string(TrimBlanks(pair.substr(0, equals)));
  cookie.value = std::string(TrimBlanks(pair.substr(equals + 1)));
  if (cookie.name.empty()) {
    return false;
  }
  cookie.domain = origin.host;
  cookie.path = DefaultPath(origin.path);
  std::optional<std::time_t> maxAgeExpiry;
  std::string_view attributes = setCookie.substr(pairEnd);
  while (!attributes.empty()) {
    attributes.remove_prefix(1);  // the ';'
    const auto end = std::min(attributes.find(';'), attributes.size());
    const std::string_view attribute = attributes.substr(0, end);
    attributes.remove_prefix(end);
    const auto attributeEquals = attribute.find('=');
    const std::string key = ToLowerAscii(TrimBlanks(attribute.substr(0, attributeEquals)));
    const std::string_view value = attributeEquals == std::string_view::npos
                                       ? std::string_view()
                                       : TrimBlanks(attribute.substr(attributeEquals + 1));
    if (key == "expires") {
      if (const auto moment = ParseCookieDate(value)) {
        cookie.expires = moment;
      }
    } else if (key == "max-age") {
      long long seconds = 0;
      const auto [parsedEnd, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
      if (error == std::errc() && parsedEnd == value.data() + value.size() && !value.empty()) {
        maxAgeExpiry = seconds <= 0 ? std::time_t(0) : static_cast<std::time_t>(now + seconds);
      }
    } else if (key == "domain" && !value.empty()) {
      std::string domain = ToLowerAscii(value.front() == '.' ? value.substr(1) : value);
      if (!DomainMatches(origin.host, domain)) {
        return false;
      }
      cookie.hostOnly = domain == origin.host && IsAddressLiteral(domain);
      cookie.domain = std::move(domain);
    } else if (key == "path" && !value.empty() && value.front() == '/') {
      cookie.path = std::string(value);
    } else if (key == "secure") {
      cookie.secure = true;
    }
  }
  if (maxAgeExpiry) {
    cookie.expires = maxAgeExpiry;
  }
  const bool remove = (cookie.expires && *cookie.expires <= now) ||
                      (emptyValue == EmptyValue::kRemove && cookie.value.empty());

  std::lock_guard lock(mutex_);
  std::erase_if(cookies_, [now](const Cookie& stored) { return stored.expires && *stored.expires <= now; });
  const auto same = std::find_if(cookies_.begin(), cookies_.end(), [&cookie](const Cookie& stored) {
    return stored.name == cookie.name && stored.domain == cookie.domain && stored.path == cookie.path;
  });
  if (remove) {
    if (same != cookies_.end()) {
      cookies_.erase(same);
    }
    return true;
  }
  if (same != cookies_.end()) {
    cookie.created = same->created;
    *same = std::move(cookie);
  } else {
    cookie.created = nextCreated_++;
    cookies_.push_back(std::move(cookie));
  }
  return true;
}

std::string CookieJar::CookiesFor(std::string_view url, std::string_view name, std::time_t now) const {
  CookieUrl target;
  if (!ParseCookieUrl(url, target)) {
    return {};
  }
  std::vector<const Cookie*> matches;
  std::lock_guard lock(mutex_);
  for (const auto& cookie : cookies_) {
    const bool hostMatches =
        cookie.hostOnly ? cookie.domain == target.host : DomainMatches(target.host, cookie.domain);
    if (hostMatches && PathMatches(target.path, cookie.path) && (!cookie.secure || target.secure) &&
        (!cookie.expires || *cookie.expires > now) && (name.empty() || cookie.name == name)) {
      matches.push_back(&cookie);
    }
  }
  std::stable_sort(matches.begin(), matches.end(), [](const Cookie* a, const Cookie* b) {
    return a->path.size() != b->path.size() ? a->path.size() > b->path.size() : a->created < b->created;
  });
  std::string joined;
  for (const Cookie* cookie : matches) {
    if (!joined.empty()) {
      joined += "; ";
    }
    joined += cookie->name + "=" + cookie->value;
  }
  return joined;
}

void CookieJar::Clear() {
  std::lock_guard lock(mutex_);
  cookies_.clear();
}

}  // namespace corvelle::platform::detail
