#!/usr/bin/env bash
# Start-up time of the logged-in agent until its icon is in the tray, with an empty outbox and
# with 10,000 sessions (three web sessions each) waiting in it, alternating, on a private desktop.
# Usage: bench/agent-startup.sh [runs]   (after a build of the default preset; needs curl and python3)
set -euo pipefail
[ -n "${HOURLOOM_BENCH_TRACE:-}" ] && set -x
cd "$(dirname "$0")/.."
runs="${1:-7}"
# shellcheck source=bench/private-session.sh
source bench/private-session.sh
bench_enter_private_bus "$0" "$@"
bench_prepare_logged_in_desktop

environment=$(python3 -c "import json; print(json.load(open('$bin/Info.json'))['ENVIRONMENT'])")
mkdir -p "$XDG_CONFIG_HOME/Hourloom"
printf '[General]\nUserName=demo@hourloom.test\nloggedIn=true\n' >"$XDG_CONFIG_HOME/Hourloom/Hourloom.conf"
# Uploads are answered 503, so the quit after each start sends nothing and what waits stays.
curl -sf -X POST "$root/dev/faults" -H 'Content-Type: application/json' \
  -d '{"endpoint":"/api/v1/user_activities","count":1000,"status":503}' >/dev/null
outbox="$XDG_STATE_HOME/hourloom/outbox.sqlite"

tray_width() { xdotool getwindowgeometry --shell "$tray" | sed -n 's/^WIDTH=//p'; }

# One start: prints the milliseconds until the icon is in the tray, and the agent's CPU time by
# then (less swayed by other load on the machine, in steps of one clock tick); then the agent
# quits and its icon leaves.
startup() {
  local start agent
  start=$(date +%s%N)
  "$work/bundle/hourloom" >>"$work/agent.log" 2>&1 &
  agent=$!
  until [ "$(tray_width)" -ge 16 ]; do
    kill -0 "$agent" || { cat "$work/agent.log"; exit 1; }
    sleep 0.005
  done
  echo "$(( ($(date +%s%N) - start) / 1000000 )) $(awk -v hz="$(getconf CLK_TCK)" '{print ($14 + $15) * 1000 / hz}' /proc/"$agent"/stat)"
  kill "$agent"
  wait "$agent" || true
  bench_wait_for "the icon to leave the tray" sh -c "[ \"\$(xdotool getwindowgeometry --shell $tray | sed -n 's/^WIDTH=//p')\" -lt 16 ]"
}

# Sessions of the last days, as an outage would leave them, under the agent's account.
fill() {
  python3 - "$outbox" "$1" "$environment" <<'EOF'
import sqlite3, sys, time, uuid
path, count, environment = sys.argv[1], int(sys.argv[2]), sys.argv[3]
db = sqlite3.connect(path)
db.execute("DELETE FROM web_sessions")
db.execute("DELETE FROM app_sessions")
now = int(time.time() * 1000)
apps, webs = [], []
for i in range(count):
    start = now - (count - i) * 60_000
    app = str(uuid.uuid4())
    apps.append(("demo@hourloom.test", environment, app, start, start + 30_000, "Chromium", "chromium"))
    for w in range(3):
        webs.append(("demo@hourloom.test", environment, app, str(uuid.uuid4()), start + w * 10_000, start + w * 10_000 + 9_000, "example.org"))
db.executemany("INSERT INTO app_sessions VALUES (?, ?, ?, ?, ?, ?, ?)", apps)
db.executemany("INSERT INTO web_sessions VALUES (?, ?, ?, ?, ?, ?, ?)", webs)
db.commit()
EOF
}

startup >/dev/null # creates the outbox; the first start also warms the caches
: >"$work/empty"
: >"$work/waiting"
for _ in $(seq "$runs"); do
  fill 0
  startup >>"$work/empty"
  fill 10000
  startup >>"$work/waiting"
done
# Median and least of a column of a file of runs.
summary() { cut -d' ' -f"$2" "$1" | sort -n | awk '{a[NR] = $1} END {printf "median %s ms, least %s ms", a[int((NR + 1) / 2)], a[1]}'; }
for series in empty waiting; do
  echo "start-up to the tray icon, $series outbox: wall $(summary "$work/$series" 1); CPU $(summary "$work/$series" 2) ($runs runs)"
done
echo "outbox with 10,000 waiting: $(du -k "$outbox" | cut -f1) kB"
