#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing, benchmarking and running Corvelle needs and
# that is not installed yet. Safe to run again: it does nothing when everything is there.
set -euo pipefail

packages=(
  # tool chain
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev
  # libraries
  libcurl4-openssl-dev libssl-dev openssl
  qt6-base-dev libgl-dev
  # tests
  googletest libgtest-dev libgmock-dev libcpp-httplib-dev nginx-light
  # benchmarks
  libbenchmark-dev rapidjson-dev nlohmann-json3-dev
  # running the window: a font covering the Chinese captions, a virtual display for screenshots
  fonts-wqy-microhei xvfb xauth x11-apps netpbm xdotool
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  if [ "$(id -u)" -ne 0 ]; then
    echo "bootstrap: run as root to install: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
