#!/bin/sh
# Runs a command in a private network and host-name namespace where only the
# loopback interface is up and the machine is called "localhost": servers of
# a test may listen on port 80, and nothing can leave the machine.
set -e
if [ "$(id -u)" = 0 ]; then flags=-nu; else flags=-rnu; fi
exec unshare $flags sh -c 'ip link set lo up && hostname localhost && exec "$@"' sh "$@"
