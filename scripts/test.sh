#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite. Exits non-zero on any failure.
#   scripts/test.sh          the normal debug build
#   scripts/test.sh asan     the AddressSanitizer + UndefinedBehaviorSanitizer build
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"

bash scripts/bootstrap.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j2
ctest --preset "$preset" --timeout 300
