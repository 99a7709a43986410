#!/usr/bin/env bash
# Installs what is missing, builds and starts Corvelle.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh
cmake --preset release >/dev/null
cmake --build --preset release -j2
if [ -x build/release/src/app/corvelle ]; then
  exec build/release/src/app/corvelle
fi
echo "The window program is not part of this build yet; running the text benchmark instead."
exec build/release/bench/text/text_bench
