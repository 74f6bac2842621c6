#!/bin/bash
# Installs what is missing, builds Prodlet (Release) and starts it with the
# given arguments. Without arguments it starts hidden in the notification area.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/deps.sh
. scripts/deps.sh

# shellcheck disable=SC2086
prodlet_install_packages $PRODLET_BUILD_PACKAGES
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j2
exec build/bin/prodlet "$@"
