#!/usr/bin/env bash
# A soak of the real agent, logged in, on a private desktop against the local account service:
# application switches (some quick detours), idle spells with focus changes while away, a
# service outage and recovery, slow answers and 413s, a suspend (the wall clock stepped forward)
# and a summer-time change. Then it checks what the service booked against what the script did,
# and reports memory, CPU per switch and wake-ups while idle. Prints PASS or FAIL at the end.
# Usage: bench/soak.sh [--switches N] [--idle-spells M] [--seed S] [--zone Z] [--change ISO-UTC]
#        (bench/soak.py --help lists all; after a build of the default preset)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/private-session.sh
source bench/private-session.sh
bench_enter_private_bus "$0" "$@"
bench_begin
bench_start_keyring
bench_start_service
bench_store_login
# Short periods, so that idle spells take seconds and ended sessions go out often.
bench_make_bundle '{"SECONDS_BETWEEN_API_SENDS": "5", "MIN_IDLE_TIME": "2", "IDLE_POLLING_INTERVAL": "1", "SECONDS_MIN_APP_SESSION": "1"}'

# Four applications, each an xterm with a class of its own and a desktop entry naming it.
mkdir -p "$XDG_DATA_HOME/applications"
apps=(a b c d)
for app in "${apps[@]}"; do
  printf '[Desktop Entry]\nType=Application\nName=Soak %s\nExec=xterm -class Soak%s\nStartupWMClass=Soak%s\n' \
    "${app^^}" "${app^^}" "${app^^}" >"$XDG_DATA_HOME/applications/soak-$app.desktop"
done
bench_start_desktop
windows=()
for app in "${apps[@]}"; do
  xterm -class "Soak${app^^}" -title "Soak ${app^^}" -e sleep 1000000 >/dev/null 2>&1 &
  pids+=($!)
  window=$(timeout 20 xdotool search --sync --onlyvisible --class "^Soak${app^^}\$" | head -n1)
  windows+=(--window "soak-$app=$window")
done

# The script starts the agent itself (under its own wall clock) and stops it; should it be
# stopped on its way, the agent goes with everything else.
stop_agent() {
  local agent
  agent=$(cat "$work/agent.pid" 2>/dev/null) || return 0
  [ "$(readlink "/proc/$agent/exe" 2>/dev/null)" = "$work/bundle/hourloom" ] && kill -9 "$agent"
  return 0
}
trap 'stop_agent; bench_end' EXIT
# libxdo says so when the active window is None for a moment; the driver then asks again.
if python3 bench/soak.py --work "$work" --root "$root" --tray "$tray" "${windows[@]}" "$@" \
    2> >(grep -v --line-buffered '^XGetWindowProperty\[_NET_ACTIVE_WINDOW\] failed' >&2); then
  exit 0
fi
keep_work=1
exit 1
