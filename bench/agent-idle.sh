#!/usr/bin/env bash
# Measures the running agent, logged in and idle, on a private desktop: start-up time until its
# icon is in the tray, resident memory, and its wake-ups and CPU time over a quiet minute.
# Usage: bench/agent-idle.sh [seconds]   (after a build of the default preset; needs curl and python3)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
# shellcheck source=bench/private-session.sh
source bench/private-session.sh
bench_enter_private_bus "$0" "$@"
bench_prepare_logged_in_desktop

start=$(date +%s%N)
"$work/bundle/hourloom" >"$work/agent.log" 2>&1 &
agent=$!
pids+=($agent)
until [ "$(xdotool getwindowgeometry --shell "$tray" | sed -n 's/^WIDTH=//p')" -ge 16 ]; do
  kill -0 "$agent" || { cat "$work/agent.log"; exit 1; }
  sleep 0.005
done
echo "start-up to the tray icon: $(( ($(date +%s%N) - start) / 1000000 )) ms"
sleep 5 # let start-up settle: the first tracking, the desktop entries

# The main thread runs the event loop, every timer and every poll.
switches() { awk '/ctxt_switches/ {n += $2} END {print n}' /proc/"$agent"/task/"$agent"/status; }
ticks() { awk '{print $14 + $15}' /proc/"$agent"/stat; }
s0=$(switches); t0=$(ticks)
sleep "$seconds"
s1=$(switches); t1=$(ticks)
# Memory the agent allocated (heap and anonymous mappings) apart from the pages of the libraries
# it maps, which other Qt programs on a desktop share.
allocated=$(awk '/^[0-9a-f]+-[0-9a-f]+ / {anon = (NF < 6 || $6 ~ /^\[(heap|anon|stack)/)} anon && /^Rss:/ {n += $2} END {print n}' /proc/"$agent"/smaps)
echo "resident memory: $(awk '/VmRSS/ {print $2, $3}' /proc/"$agent"/status), of which ${allocated} kB allocated by the agent and the rest library pages"
echo "over ${seconds} s idle: $((s1 - s0)) wake-ups of the main thread, $((t1 - t0)) CPU ticks ($(getconf CLK_TCK) a second)"
echo "configured polls in that time: idle poll every $(python3 -c "import json; print(json.load(open('$bin/Info.json'))['IDLE_POLLING_INTERVAL'])") s, upload every $(python3 -c "import json; print(json.load(open('$bin/Info.json'))['SECONDS_BETWEEN_API_SENDS'])") s"
echo "uploads the service received: $(curl -s "$root/dev/activities" 2>/dev/null | python3 -c 'import json,sys; print(sum(u["uploads"] for u in json.load(sys.stdin)["users"]))' 2>/dev/null || echo '(read-out needs --enable-fault-injection)')"
