#!/usr/bin/env bash
# Measures the running agent, logged in and idle, on a private desktop: start-up time until its
# icon is in the tray, resident memory, and its wake-ups and CPU time over a quiet minute.
# Usage: bench/agent-idle.sh [seconds]   (after a build of the default preset; needs curl and python3)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
bin=build/default/bin
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${HOURLOOM_IDLE_BENCH_INNER:-}" ]; then
  # A private session bus and keyring, so that the agent finds a stored login at start.
  exec env HOURLOOM_IDLE_BENCH_INNER=1 dbus-run-session -- "$0" "$@"
fi

work=$(mktemp -d)
pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; wait 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
printf 'bench-keyring' | gnome-keyring-daemon --unlock --components=secrets >/dev/null
for _ in $(seq 50); do secret-tool search --all xdg:schema none >/dev/null 2>&1 && break; sleep 0.1; done

"$bin/hourloom-devserver" --port 0 --enable-fault-injection --database "$work/devserver.sqlite" >"$work/devserver.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do grep -q "listening on" "$work/devserver.log" && break; sleep 0.1; done
root=$(grep -o 'http://[0-9.:]*' "$work/devserver.log")

# A login the agent finds at start: the demo user's tokens in the keyring, as after a login.
answer=$(curl -s -X POST "$root/oauth/token" -H 'Content-Type: application/json' \
  -d '{"grant_type":"password","email":"demo@hourloom.test","password":"demo-password","client_id":"hourloom-development","client_secret":"development-secret"}')
token() { python3 -c "import json,sys; print(json.loads(sys.argv[1])['$1'])" "$answer"; }
environment=$(python3 -c "import json; print(json.load(open('$bin/Info.json'))['ENVIRONMENT'])")
printf '%s' "$(token access_token)" | secret-tool store --label=a service hourloomApiAccessToken account "hourloom-$environment"
printf '%s' "$(token refresh_token)" | secret-tool store --label=r service hourloomApiRefreshToken account "hourloom-$environment"

# The agent in a bundle of its own, pointed at this service.
mkdir -p "$work/bundle"
cp "$bin/hourloom" "$work/bundle/"
python3 -c "import json,sys; d=json.load(open('$bin/Info.json')); d['ROOT_URL']=sys.argv[1]; json.dump(d, open('$work/bundle/Info.json','w'))" "$root"

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
XDG_CACHE_HOME="$work/cache" openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
trayer --edge top --align right --widthtype request --height 24 --SetDockType true >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do xdotool search --onlyvisible --class trayer >/dev/null 2>&1 && break; sleep 0.1; done
tray=$(xdotool search --onlyvisible --class '^trayer$' | head -n1)
xterm >/dev/null 2>&1 &
pids+=($!)
sleep 1

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
