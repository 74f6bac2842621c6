#!/bin/bash
# Builds the tests that run threads (socket look-ups and events, the queue to
# the user-interface thread, real probes over loopback) with ThreadSanitizer
# and runs them; any report fails. CI runs it after the other builds.
set -euo pipefail
cd "$(dirname "$0")/.."
build="build-tsan"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DPRODLET_WERROR=ON -DPRODLET_SANITIZE=thread -DPRODLET_E2E=OFF
cmake --build "$build" -j2 --target platform_winsock_tests framework_window_tests engine_loopback_tests
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
cd "$build"
ctest --output-on-failure -R "WinsockTest|WinsockStartup|WinsockText|QueueTest|ControlTest|WindowTest|FormatTest|^engine_loopback_tests$"
