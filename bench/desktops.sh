# Each desktop the agent has a backend for, started headless in the work folder as the desktop
# tests start theirs (tests/support/XDesktop, SwayDesktop, KWinDesktop, GnomeShell), with one
# window open. Sourced after bench/private-session.sh, inside the private session bus, after
# bench_begin and bench_make_bundle. `bench_start_<desktop>` sets:
#   desktop_pid      the desktop's own process (X server or compositor), whose cost is its side
#   desktop_version  what it says its version is
#   backend          the name the agent's choice of backend gives it
#   agent_env        the agent's environment on that desktop (name=value words for env)
# Every process started is in `pids`.

bench_desktops=(x11 sway kwin gnome)

# Mutter and KWin start Xwayland only when the X sockets' folder exists writable by everyone,
# as a booted system makes it.
bench_make_x_sockets_folder() {
  mkdir -p /tmp/.X11-unix
  [ "$(id -u)" != 0 ] || chown root:root /tmp/.X11-unix
  chmod 1777 /tmp/.X11-unix 2>/dev/null || true
}

# Without trayer (Debian 13's roots here have none) the agent runs without a tray, as on a bare
# X server; `tray` is then empty.
bench_start_x11() {
  bench_start_x
  desktop_pid=$xserver
  desktop_version="Xvfb $(dpkg-query -W -f '${Version}' xvfb 2>/dev/null || true), openbox"
  tray=
  if command -v trayer >/dev/null; then
    bench_start_tray
    desktop_version+=", trayer"
  else
    desktop_version+=", no tray (trayer is not installed)"
  fi
  backend=X11
  agent_env=(DISPLAY="$DISPLAY")
  xterm >/dev/null 2>&1 &
  pids+=($!)
}

# sway refuses to run as root: then it runs as the system user the tests use, reading its
# configuration from a folder it may enter.
bench_start_sway() {
  local folder="$work/sway" run
  local -a as_user=()
  mkdir -p "$folder/home" "$folder/run"
  chmod 0711 "$work"
  chmod 0755 "$folder"
  chmod 0700 "$folder/run"
  printf 'output HEADLESS-1 resolution 1280x800\nfocus_follows_mouse no\n' >"$folder/config"
  if [ "$(id -u)" = 0 ]; then
    getent passwd hourloom-sway >/dev/null ||
      useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin hourloom-sway 2>/dev/null || true
    chown hourloom-sway: "$folder/home" "$folder/run"
    as_user=(setpriv --reuid="$(id -u hourloom-sway)" --regid="$(id -g hourloom-sway)" --clear-groups --)
  fi
  env -i PATH="$PATH" HOME="$folder/home" XDG_RUNTIME_DIR="$folder/run" WLR_BACKENDS=headless \
    WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman "${as_user[@]}" sway -c "$folder/config" >"$work/sway.log" 2>&1 &
  desktop_pid=$!
  pids+=($desktop_pid)
  run=$folder/run
  bench_wait_for "sway" sh -c "ls $run/sway-ipc.*.sock && ls $run | grep -qx 'wayland-[0-9]*'"
  desktop_version=$(sway --version)
  backend=wlroots
  agent_env=(WAYLAND_DISPLAY="$run/$(ls "$run" | grep -x 'wayland-[0-9]*' | head -n1)" QT_QPA_PLATFORM=wayland)
  env "${agent_env[@]}" foot --app-id=bench-window cat >/dev/null 2>&1 &
  pids+=($!)
}

# A copy of kwin_wayland: the installed one carries file capabilities a container may not grant.
# KWin joins the private session bus, where the agent loads its script.
bench_start_kwin() {
  local wait_seconds=60
  cp "$(command -v kwin_wayland)" "$work/kwin_wayland"
  bench_make_x_sockets_folder
  env -u DISPLAY -u WAYLAND_DISPLAY KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 "$work/kwin_wayland" --virtual --width 1280 --height 800 \
    --socket wayland-bench --xwayland --no-lockscreen --no-global-shortcuts \
    "sh -c 'printf %s \"\$DISPLAY\" > $work/kwin-display'" >"$work/kwin.log" 2>&1 &
  desktop_pid=$!
  pids+=($desktop_pid)
  bench_wait_for "KWin and its Xwayland" sh -c "test -s $work/kwin-display && gdbus call --session -d org.kde.KWin -o / -m org.freedesktop.DBus.Peer.Ping"
  desktop_version=$("$work/kwin_wayland" --version)
  backend=KDE
  agent_env=(WAYLAND_DISPLAY=wayland-bench QT_QPA_PLATFORM=wayland)
  DISPLAY=$(cat "$work/kwin-display") xterm >/dev/null 2>&1 &
  pids+=($!)
}

# The shell with the agent's extension, installed by the agent's own command before the shell
# starts. It needs a system bus that lets it own any name: a second session bus is that. Stale
# seat files of a systemd that once ran here are hidden in a mount namespace of its own.
bench_start_gnome() {
  local wait_seconds=120 command='exec gnome-shell --headless --wayland --virtual-monitor 1280x800' xwayland
  local -a namespace=()
  cp -r "$bin/gnome-extension" "$work/bundle/"
  dbus-daemon --session --nofork --print-address=3 3>"$work/system-bus" &
  pids+=($!)
  bench_wait_for "a system bus" test -s "$work/system-bus"
  QT_QPA_PLATFORM=offscreen "$work/bundle/hourloom" --install-gnome-extension >"$work/install-extension.log" 2>&1 ||
    { cat "$work/install-extension.log"; exit 1; }
  bench_make_x_sockets_folder
  if [ -e /run/systemd/seats ]; then
    namespace=(unshare --mount)
    command="mount -t tmpfs tmpfs /run/systemd && $command"
  fi
  # As in the tests, the extension also offers its test-only way to focus a window: a window the
  # headless shell maps does not take the focus, and the agent would track nothing.
  env -u DISPLAY -u WAYLAND_DISPLAY DBUS_SYSTEM_BUS_ADDRESS="$(head -n1 "$work/system-bus")" HOURLOOM_SHELL_TESTING=1 \
    "${namespace[@]}" sh -c "$command" >"$work/gnome-shell.log" 2>&1 &
  desktop_pid=$!
  pids+=($desktop_pid)
  bench_wait_for "the shell with the extension" gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
    -m org.freedesktop.DBus.GetNameOwner org.hourloom.ShellFocus
  bench_wait_for "the shell's Xwayland" sh -c "pgrep -a -P $desktop_pid Xwayland | grep -q -- -auth"
  xwayland=$(pgrep -a -P "$desktop_pid" Xwayland)
  desktop_version=$(gnome-shell --version)
  backend="GNOME Shell"
  agent_env=(WAYLAND_DISPLAY=wayland-0 XDG_SESSION_TYPE=wayland QT_QPA_PLATFORM=wayland)
  DISPLAY=$(grep -o ' :[0-9]*' <<<"$xwayland" | head -n1 | tr -d ' ') XAUTHORITY=$(sed -n 's/.* -auth \([^ ]*\).*/\1/p' <<<"$xwayland") \
    xterm >/dev/null 2>&1 &
  pids+=($!)
  bench_wait_for "the window to take the focus" sh -c "gdbus call --session -d org.hourloom.ShellFocus -o /org/hourloom/ShellFocus \
    -m org.hourloom.ShellFocus.Testing.Activate XTerm | grep -q true"
}
