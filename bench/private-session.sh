# Pieces of a private session for the harnesses that run the real agent: a session bus with an
# unlocked keyring, the local account service, a stored login, the agent in a folder of its own
# and a desktop (Xvfb, openbox, a tray). Sourced by bench/*.sh from the repository's root, after
# a build of the default preset. Every process started here is in `pids` and stopped on exit.

# Another build's programs (a Debian 13 root's, say): HOURLOOM_BENCH_BIN=build-deb13/bin.
bin=${HOURLOOM_BENCH_BIN:-build/default/bin}

# Runs the calling script again inside a private session bus, so that the keyring the agent
# finds is this session's alone. Call with "$0" "$@".
bench_enter_private_bus() {
  if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${HOURLOOM_BENCH_INNER:-}" ]; then
    exec env HOURLOOM_BENCH_INNER=1 dbus-run-session -- "$@"
  fi
}

# A work folder, a private home and XDG folders; on exit every process in `pids` is stopped
# (the last started first) and the folder removed, unless `keep_work` was set meanwhile.
bench_begin() {
  work=$(mktemp -d)
  pids=()
  keep_work=
  trap bench_end EXIT
  # A stop from outside (the time limit among them) ends the script through the exit trap.
  trap 'exit 143' TERM INT
  export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" \
    XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime"
  mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
  mkdir -m 0700 "$XDG_RUNTIME_DIR"
  # What the bus starts on demand (a keyring, dconf, the shell's helpers) lives here too.
  dbus-update-activation-environment HOME XDG_CONFIG_HOME XDG_DATA_HOME XDG_STATE_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR
}

# The process and all its descendants, the process first.
bench_tree() {
  local child
  echo "$1"
  for child in $(pgrep -P "$1"); do bench_tree "$child"; done
}

bench_end() {
  local status=$? i pid
  # A run that failed keeps what its programs said.
  [ "$status" = 0 ] || keep_work=1
  # Children a process started itself (a compositor's Xwayland, say) are stopped with it.
  for (( i=${#pids[@]}-1; i>=0; i-- )); do
    for pid in $(bench_tree "${pids[i]}" | tac); do
      [ "$pid" = "${pids[i]}" ] || pids+=("$pid")
      kill "$pid" 2>/dev/null || true
    done
  done
  # A process that ignores the request gets 5 s, then is killed.
  for _ in $(seq 50); do
    pid=
    for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && break; pid=; done
    [ -z "$pid" ] && break
    sleep 0.1
  done
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [ -n "$keep_work" ]; then echo "logs kept in $work"; else rm -rf "$work"; fi
}

# Waits up to `wait_seconds` (30 s unless the caller's local says otherwise: a loaded machine)
# until the command succeeds; stops the script if it never does.
bench_wait_for() {
  local what=$1
  shift
  for _ in $(seq $(( ${wait_seconds:-30} * 10 ))); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  echo "gave up waiting for $what" >&2
  exit 1
}

bench_start_keyring() {
  printf 'bench-keyring' | gnome-keyring-daemon --unlock --components=secrets >/dev/null
  bench_wait_for "the keyring" secret-tool search --all xdg:schema none
  # It went into the background of its own accord: the bus knows it.
  pids+=($(gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
    -m org.freedesktop.DBus.GetConnectionUnixProcessID org.freedesktop.secrets | sed 's/[^ ]* \([0-9]*\).*/\1/'))
}

# The local account service on a free port, with fault injection; its address in `root`.
bench_start_service() {
  "$bin/hourloom-devserver" --port 0 --enable-fault-injection --database "$work/devserver.sqlite" >"$work/devserver.log" 2>&1 &
  pids+=($!)
  bench_wait_for "the account service" grep -q "listening on" "$work/devserver.log"
  root=$(grep -o 'http://[0-9.:]*' "$work/devserver.log")
}

# A login the agent finds at start: the demo user's tokens in the keyring, as after a login.
bench_store_login() {
  local answer environment
  answer=$(curl -s -X POST "$root/oauth/token" -H 'Content-Type: application/json' \
    -d '{"grant_type":"password","email":"demo@hourloom.test","password":"demo-password","client_id":"hourloom-development","client_secret":"development-secret"}')
  environment=$(python3 -c "import json; print(json.load(open('$bin/Info.json'))['ENVIRONMENT'])")
  python3 -c "import json,sys; print(json.loads(sys.argv[1])['access_token'], end='')" "$answer" |
    secret-tool store --label=a service hourloomApiAccessToken account "hourloom-$environment"
  python3 -c "import json,sys; print(json.loads(sys.argv[1])['refresh_token'], end='')" "$answer" |
    secret-tool store --label=r service hourloomApiRefreshToken account "hourloom-$environment"
}

# The agent in $work/bundle, beside a configuration document of its own: the build's, pointed at
# this service, with the values of the JSON object $1 replaced.
bench_make_bundle() {
  local changes=${1:-'{}'}
  mkdir -p "$work/bundle"
  cp "$bin/hourloom" "$work/bundle/"
  python3 -c "import json,sys; d=json.load(open('$bin/Info.json')); d['ROOT_URL']=sys.argv[1]; d.update(json.loads(sys.argv[2])); json.dump(d, open('$work/bundle/Info.json','w'), indent=1)" "$root" "$changes"
}

# Xvfb, openbox and a tray; the display in DISPLAY, the tray's window in `tray`.
bench_start_desktop() {
  bench_start_x
  bench_start_tray
}

# Xvfb (its process in `xserver`) and openbox; the display in DISPLAY.
bench_start_x() {
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
  xserver=$!
  pids+=($xserver)
  bench_wait_for "the X server" test -s "$work/display"
  export DISPLAY=":$(head -n1 "$work/display")"
  XDG_CACHE_HOME="$work/cache" openbox --sm-disable >/dev/null 2>&1 &
  pids+=($!)
  bench_wait_for "the window manager" sh -c "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'"
}

bench_start_tray() {
  trayer --edge top --align right --widthtype request --height 24 --SetDockType true >/dev/null 2>&1 &
  pids+=($!)
  bench_wait_for "the tray" xdotool search --onlyvisible --class '^trayer$'
  tray=$(xdotool search --onlyvisible --class '^trayer$' | head -n1)
}

# Everything a logged-in agent meets on a desktop, with an xterm open as the frontmost
# application: keyring, service, stored login, bundle, desktop and tray.
bench_prepare_logged_in_desktop() {
  bench_begin
  bench_start_keyring
  bench_start_service
  bench_store_login
  bench_make_bundle "$@"
  bench_start_desktop
  xterm >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
}
