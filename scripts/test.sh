#!/bin/bash
# Installs what is missing, builds Prodlet with warnings as errors and runs
# every test, the end-to-end run of the real binary included.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/deps.sh
. scripts/deps.sh

# shellcheck disable=SC2086
prodlet_install_packages $PRODLET_BUILD_PACKAGES $PRODLET_TEST_PACKAGES
prodlet_ensure_locale de_DE.UTF-8
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DPRODLET_WERROR=ON
cmake --build build -j2
cd build
exec ctest --output-on-failure
