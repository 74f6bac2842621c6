#!/bin/bash
# CPU per probe of the real binary: build/bin/prodlet in debug mode (a probe
# every 15 s) against the end-to-end test's HTTP server on 127.0.0.1:80, inside
# a private network namespace, under Xvfb with trayer as the notification
# area. CPU is the sum of the run time of the program's threads, from
# /proc/PID/task/*/schedstat, sampled half a second before and after each
# probe (its tick, the request and the reply) and over the plain tick after it;
# a probe costs the difference. Also prints the CPU of a whole 15 s cycle, the
# probe rhythm (time between probes at the server) and the resident size after
# start-up. A benchmark, run by hand; never a test.
#
# usage: bench/probe-cpu.sh [PROBES [HOSTS]]   (default 12 probes, 1 host)
#   HOSTS > 1 seeds the list with that many entries; the probes go to the first.
#   PRODLET_BIN=path picks another binary (default build/bin/prodlet).
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
probes=${1:-12}
hosts=${2:-1}
prodlet=${PRODLET_BIN:-$root/build/bin/prodlet}
if [ -z "${PRODLET_BENCH_IN_NETNS:-}" ]; then
    exec env PRODLET_BENCH_IN_NETNS=1 "$root/tests/netns/in-netns.sh" "$0" "$@"
fi

# shellcheck source=tests/e2e/e2e-lib.sh
. "$root/tests/e2e/e2e-lib.sh"
e2e_init
unset DBUS_SESSION_BUS_ADDRESS
{
    printf '[Settings]\r\nDebug=1\r\nAutoStart=1\r\nComboName0=127.0.0.1\r\n'
    for ((i = 1; i < hosts; i++)); do printf 'ComboName%d=host%d.example.invalid\r\n' "$i" "$i"; done
    printf 'ComboNameSel=0\r\n'
} >"$PRODLET_WINDIR/Prodlet.INI"

start_http_server
start_xvfb
start_trayer

"$prodlet" >"$work/prodlet.log" 2>&1 & app=$!
pids+=($app)

# Samples the program's run time around each probe: half a second before and
# after it (the probe's tick, the request and the reply) and over the plain
# tick that follows (the countdown alone); a probe costs the difference.
python3 - "$work/requests" "$probes" "$hosts" "$app" <<'EOF2'
import glob, os, sys, time
folder, probes, hosts, pid = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])

def cpu_ns():
    total = 0
    for f in glob.glob("/proc/%d/task/*/schedstat" % pid):
        try:
            total += int(open(f).read().split()[0])
        except (OSError, ValueError, IndexError):
            pass
    return total

def arrival(n, limit):
    path = os.path.join(folder, "%d.req" % n)
    end = time.time() + limit
    while not os.path.exists(path):
        if time.time() > end or not os.path.exists("/proc/%d" % pid):
            sys.exit("probe-cpu: probe %d did not reach the server" % n)
        time.sleep(0.01)
    return os.stat(path).st_mtime_ns / 1e9

def sample_at(t):
    time.sleep(max(0.0, t - time.time()))
    return cpu_ns()

t = arrival(0, 60)
status = dict(l.split(":", 1) for l in open("/proc/%d/status" % pid))
rss, rss_anon = (int(status[k].split()[0]) for k in ("VmRSS", "RssAnon"))
arrivals, probe_ms, tick_ms = [t], [], []
after = sample_at(t + 0.5)
cycle_start = after
for n in range(1, probes):
    tick_end = sample_at(t + 1.5)
    tick_ms.append((tick_end - after) / 1e6)
    before = sample_at(t + 14.5)
    t_next = arrival(n, 60)
    if t_next <= t + 14.5:
        sys.exit("probe-cpu: probe %d came before its window" % n)
    after = sample_at(t_next + 0.5)
    probe_ms.append((after - before) / 1e6 - tick_ms[-1])
    arrivals.append(t_next)
    t = t_next
gaps = [b - a for a, b in zip(arrivals, arrivals[1:])]
probe_ms.sort()
print("probe-cpu: %d probes, %d host(s) in the list, debug interval 15 s" % (probes, hosts))
print("  CPU per probe (its tick, request and reply, less a plain tick): median %.3f ms, min %.3f, max %.3f"
      % (probe_ms[len(probe_ms) // 2], probe_ms[0], probe_ms[-1]))
print("  CPU per plain countdown tick: median %.3f ms" % sorted(tick_ms)[len(tick_ms) // 2])
print("  CPU per 15 s cycle (a probe and 15 ticks): %.3f ms" % ((after - cycle_start) / 1e6 / (probes - 1)))
print("  probe rhythm: mean %.3f s, min %.3f s, max %.3f s" % (sum(gaps) / len(gaps), min(gaps), max(gaps)))
print("  gaps: " + " ".join("%.3f" % g for g in gaps))
print("  RSS after start-up: %.1f MiB, of it %.1f MiB anonymous (the rest pages of files: libraries, fonts)"
      % (rss / 1024.0, rss_anon / 1024.0))
EOF2
