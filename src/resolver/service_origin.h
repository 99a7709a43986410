#pragma once

#include "text/text_types.h"

namespace corvelle {

// The service's web origin ("scheme://host[:port]", no trailing slash): the real service over https,
// unless the environment variable CORVELLE_SERVICE_ORIGIN replaces it (the simulated service, tests).
[[nodiscard]] Text ServiceOrigin();

}  // namespace corvelle
