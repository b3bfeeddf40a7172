#!/usr/bin/env bash
# Measures the running agent, logged in and idle, on each desktop it has a backend for: X11 (Xvfb,
# openbox, a tray), sway, KWin and GNOME Shell, each headless and private to one run. A run starts
# the desktop, measures it alone for the idle period, starts the agent, checks that the expected
# backend serves it and that it is logged in, lets it settle, and measures the agent and the
# desktop again over the same period. Reported for the agent: wake-ups of its main thread (which
# runs the event loop, every timer and every poll) a minute and CPU seconds; for the desktop's
# own process: the same, alone and with the agent, whose difference is what the agent costs the
# desktop (on KWin our script, on GNOME the extension's signals and Mutter's idle watches).
# After every run, median and spread (least–most) per desktop.
# Usage: bench/agent-idle.sh [--runs N] [seconds] [x11|sway|kwin|gnome ...]
#   (after a build of the default preset, or with HOURLOOM_BENCH_BIN=<build>/bin; needs curl and
#   python3; default: 3 runs of 60 s on every desktop)
set -euo pipefail
[ -n "${HOURLOOM_BENCH_TRACE:-}" ] && set -x
cd "$(dirname "$0")/.."
# shellcheck source=bench/private-session.sh
source bench/private-session.sh
# shellcheck source=bench/desktops.sh
source bench/desktops.sh

main_thread_switches() { awk '/ctxt_switches/ {n += $2} END {print n}' /proc/"$1"/task/"$1"/status; }
# User and system time of every thread, in clock ticks (the fields after the name, which may hold spaces).
cpu_ticks() { sed 's/.*) //' /proc/"$1"/stat | awk '{print $12 + $13}'; }

# One run on one desktop, inside a private session bus; ends with a line
# RESULT <desktop> <agent wake-ups/min> <agent CPU s> <desktop alone wake-ups/min> <CPU s> <desktop with the agent wake-ups/min> <CPU s> <agent resident MB>
measure_once() {
  local desktop=$1 seconds=$2 agent s0 t0 d0 c0 s1 t1 d1 c1 alone start
  bench_enter_private_bus "$0" --one "$desktop" "$seconds"
  bench_begin
  # Nothing here may run past the time it needs: on a hang the run ends and cleans up.
  (sleep $((2 * seconds + 300)) && echo "the run took too long" >&2 && kill -TERM $$) &
  pids+=($!)
  bench_start_keyring
  bench_start_service
  bench_store_login
  bench_make_bundle
  "bench_start_$desktop"
  echo "$desktop: $desktop_version"
  sleep 15 # let the desktop settle: a shell is busy for a while after it shows

  d0=$(main_thread_switches "$desktop_pid"); c0=$(cpu_ticks "$desktop_pid")
  sleep "$seconds"
  d1=$(main_thread_switches "$desktop_pid"); c1=$(cpu_ticks "$desktop_pid")
  alone="$(per_minute $((d1 - d0)) "$seconds") $(cpu_seconds $((c1 - c0)))"

  # Not the first start in this home: without a tray the panel stays closed, as the login's
  # autostart leaves it.
  mkdir -p "$XDG_CONFIG_HOME/Hourloom"
  printf '[General]\nOpenedWithoutTray=true\n' >"$XDG_CONFIG_HOME/Hourloom/Hourloom.conf"
  start=$(date +%s%N)
  env "${agent_env[@]}" QT_LOGGING_RULES="hourloom.desktop.debug=true" "$work/bundle/hourloom" >"$work/agent.log" 2>&1 &
  agent=$!
  pids+=($agent)
  # Which backend serves is the agent's own word; a desktop that ends up with another is no figure.
  wait_seconds=60 bench_wait_for "the agent to choose its backend" grep -q "backend serves this desktop" "$work/agent.log"
  if ! grep -q "the $backend backend serves this desktop" "$work/agent.log"; then
    echo "the agent did not use the $backend backend:" >&2
    cat "$work/agent.log" >&2
    exit 1
  fi
  if [ -n "${tray:-}" ]; then
    until [ "$(xdotool getwindowgeometry --shell "$tray" | sed -n 's/^WIDTH=//p')" -ge 16 ]; do
      kill -0 "$agent" || { cat "$work/agent.log"; exit 1; }
      sleep 0.005
    done
    echo "start-up to the tray icon: $(( ($(date +%s%N) - start) / 1000000 )) ms"
  fi
  sleep 5 # let start-up settle: the first tracking, the desktop entries
  grep -qx 'loggedIn=true' "$XDG_CONFIG_HOME/Hourloom/Hourloom.conf" || { echo "the agent is not logged in" >&2; exit 1; }

  s0=$(main_thread_switches "$agent"); t0=$(cpu_ticks "$agent")
  d0=$(main_thread_switches "$desktop_pid"); c0=$(cpu_ticks "$desktop_pid")
  sleep "$seconds"
  s1=$(main_thread_switches "$agent"); t1=$(cpu_ticks "$agent")
  d1=$(main_thread_switches "$desktop_pid"); c1=$(cpu_ticks "$desktop_pid")
  kill -0 "$agent" || { echo "the agent ended:" >&2; cat "$work/agent.log" >&2; exit 1; }
  # Memory the agent allocated (heap and anonymous mappings) apart from the pages of the libraries
  # it maps, which other Qt programs on a desktop share.
  allocated=$(awk '/^[0-9a-f]+-[0-9a-f]+ / {anon = (NF < 6 || $6 ~ /^\[(heap|anon|stack)/)} anon && /^Rss:/ {n += $2} END {print n}' /proc/"$agent"/smaps)
  echo "resident memory: $(awk '/VmRSS/ {print $2, $3}' /proc/"$agent"/status), of which ${allocated} kB allocated by the agent and the rest library pages"
  echo "over ${seconds} s idle: $((s1 - s0)) wake-ups of the agent's main thread, $((t1 - t0)) CPU ticks ($(getconf CLK_TCK) a second)"
  echo "the desktop's process (main thread's wake-ups a minute, CPU seconds of all threads) over ${seconds} s: alone $alone, with the agent $(per_minute $((d1 - d0)) "$seconds") $(cpu_seconds $((c1 - c0)))"
  echo "configured polls: idle poll every $(config_value IDLE_POLLING_INTERVAL) s, upload every $(config_value SECONDS_BETWEEN_API_SENDS) s"
  echo "uploads the service received: $(curl -s "$root/dev/activities" | python3 -c 'import json,sys; print(sum(u["uploads"] for u in json.load(sys.stdin)["users"]))')"
  echo "RESULT $desktop $(per_minute $((s1 - s0)) "$seconds") $(cpu_seconds $((t1 - t0))) $alone $(per_minute $((d1 - d0)) "$seconds") $(cpu_seconds $((c1 - c0))) $(awk '/VmRSS/ {printf "%.1f", $2 / 1024}' /proc/"$agent"/status)"
}

per_minute() { python3 -c "import sys; print(round(int(sys.argv[1]) * 60 / int(sys.argv[2]), 1))" "$1" "$2"; }
cpu_seconds() { python3 -c "import sys; print(int(sys.argv[1]) / int(sys.argv[2]))" "$1" "$(getconf CLK_TCK)"; }
config_value() { python3 -c "import json,sys; print(json.load(open(sys.argv[1]))[sys.argv[2]])" "$bin/Info.json" "$1"; }

if [ "${1:-}" = --one ]; then
  measure_once "$2" "$3"
  exit 0
fi

runs=3
if [ "${1:-}" = --runs ]; then runs=$2; shift 2; fi
seconds=60
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then seconds=$1; shift; fi
desktops=("$@")
[ ${#desktops[@]} -gt 0 ] || desktops=("${bench_desktops[@]}")
echo "$(date -u '+%F %H:%M UTC'), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
results=()
for desktop in "${desktops[@]}"; do
  for run in $(seq "$runs"); do
    echo "--- $desktop, run $run of $runs"
    output=$("$0" --one "$desktop" "$seconds" 2>&1) || { echo "$output"; echo "--- $desktop, run $run failed"; continue; }
    grep -v '^RESULT ' <<<"$output"
    results+=("$(grep '^RESULT ' <<<"$output")")
  done
done
echo "load at the end $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%s\n' "${results[@]}" | python3 -c '
import statistics, sys
rows = {}
for line in sys.stdin:
    if line.startswith("RESULT "):
        desktop, *values = line.split()[1:]
        rows.setdefault(desktop, []).append([float(v) for v in values])
names = ["agent wake-ups/min", "agent CPU s", "desktop alone wake-ups/min", "desktop alone CPU s", "desktop with agent wake-ups/min", "desktop with agent CPU s", "agent resident MB"]
print("median (least-most) over the runs:")
for desktop, runs in rows.items():
    cells = ["%g (%g-%g)" % (statistics.median(c), min(c), max(c)) for c in zip(*runs)]
    print("%s, %d runs: %s" % (desktop, len(runs), "; ".join("%s %s" % (n, c) for n, c in zip(names, cells))))
'
