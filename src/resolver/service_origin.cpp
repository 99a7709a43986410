#include "resolver/service_origin.h"

#include <cstdlib>
#include <string_view>

namespace corvelle {
namespace {

constexpr char kDefaultOrigin[] = "https://pan.baidu.com";
constexpr char kOriginVariable[] = "CORVELLE_SERVICE_ORIGIN";

}  // namespace

Text ServiceOrigin() {
  const char* configured = std::getenv(kOriginVariable);
  if (configured == nullptr || *configured == '\0') return kDefaultOrigin;
  std::string_view origin(configured);
  // The paths are appended to the origin, so a trailing slash would double theirs.
  while (!origin.empty() && origin.back() == '/') origin.remove_suffix(1);
  return Text(origin);
}

}  // namespace corvelle
