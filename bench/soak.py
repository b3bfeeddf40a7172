#!/usr/bin/env python3
"""Drives the real agent through a long day on a private desktop and checks what the service booked.

Started by bench/soak.sh, which prepares the desktop (Xvfb, openbox, a tray, one xterm per
application), the session bus with a stored login, the local account service and the agent's
folder. This script starts the agent under a wall clock of its own (libfaketime, steered through
a control file; the monotonic clock stays real), switches between the applications, goes idle,
takes the service down, steps the wall clock forward as a suspend does, and crosses a change of
summer time. It keeps what a user at this desktop would expect to be booked, quits the agent the
ordinary way and compares with GET /dev/activities. Exits 0 on PASS, 1 on FAIL.
"""

import argparse
import bisect
import calendar
import ctypes
import datetime
import json
import os
import random
import signal
import subprocess
import sys
import time
import urllib.request
import zoneinfo

LIBFAKETIME = "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1"
UPLOAD_ENDPOINT = "/api/v1/user_activities"
# How late the agent may handle what the script did (a loaded 2-core machine), in seconds.
LATENCY = 0.3
# How far a booked instant (whole seconds) may lie outside the expected window, in seconds.
TOLERANCE = 1.0


def arguments():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--switches", type=int, default=10000, help="application switches (at least; default 10000)")
    parser.add_argument("--idle-spells", type=int, default=200, help="idle spells with focus changes while away (default 200)")
    parser.add_argument("--seed", type=int, default=1, help="seed of the random order of switches (default 1)")
    parser.add_argument("--zone", default="Europe/Berlin", help="the agent's time zone (default Europe/Berlin)")
    parser.add_argument("--change", default="2024-10-27T01:00:00Z",
                        help="an instant (UTC) at which the zone's offset changes; the agent's clock starts shortly before it")
    parser.add_argument("--warm-up", type=float, default=40, help="seconds of switching before the first memory reading")
    parser.add_argument("--outage", type=float, default=60, help="seconds the service is down, across the summer-time change")
    parser.add_argument("--suspend", type=int, default=8 * 3600, help="seconds the wall clock is stepped forward (default 28800)")
    parser.add_argument("--work", required=True, help="(from soak.sh) the work folder")
    parser.add_argument("--root", required=True, help="(from soak.sh) the service's address")
    parser.add_argument("--tray", required=True, help="(from soak.sh) the tray's window id")
    parser.add_argument("--window", action="append", required=True, help="(from soak.sh) desktop-file id=X window id, one per application")
    return parser.parse_args()


class Desktop:
    """Activations and input through libxdo (what xdotool does, without a process per call)."""

    def __init__(self):
        self.lib = ctypes.CDLL("libxdo.so.3")
        self.lib.xdo_new.restype = ctypes.c_void_p
        self.lib.xdo_new.argtypes = [ctypes.c_char_p]
        self.lib.xdo_activate_window.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.lib.xdo_wait_for_window_active.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int]
        self.lib.xdo_move_mouse_relative.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        self.xdo = self.lib.xdo_new(None)
        if not self.xdo:
            raise RuntimeError("cannot open the display " + os.environ.get("DISPLAY", ""))
        self.step = 1

    def activate(self, window):
        """Makes the window active; returns the moments before the request and after it took effect."""
        before = time.time()
        # The wait fails at once while no window has ever been active (the property is not set yet).
        for _ in range(20):
            if self.lib.xdo_activate_window(self.xdo, window) == 0 and self.lib.xdo_wait_for_window_active(self.xdo, window, 1) == 0:
                return before, time.time()
            time.sleep(0.1)
        raise RuntimeError(f"the window manager did not activate window {window}")

    def touch(self):
        """A one-pixel mouse move: input that ends idleness and resets the idle counter."""
        before = time.time()
        self.lib.xdo_move_mouse_relative(self.xdo, self.step, 0)
        self.step = -self.step
        return before, time.time()


class WallClock:
    """The agent's wall clock: real time plus an offset in a file libfaketime reads at every call."""

    def __init__(self, path, offset):
        self.path = path
        self.set(offset)

    def set(self, offset):
        self.offset = int(offset)
        with open(self.path + ".new", "w") as file:
            file.write(f"{self.offset:+d}\n")
        os.replace(self.path + ".new", self.path)

    def agent(self, real):
        return real + self.offset

    def environment(self, zone):
        return {
            "LD_PRELOAD": LIBFAKETIME,
            "FAKETIME_TIMESTAMP_FILE": self.path,
            "FAKETIME_NO_CACHE": "1",  # a step is seen at the next reading
            "FAKETIME_DONT_FAKE_MONOTONIC": "1",  # timers and the idle counter run on, as in a suspend
            "FAKETIME_FORCE_MONOTONIC_FIX": "0",  # otherwise waits on the monotonic clock return at once
            "TZ": zone,
        }


class Span:
    """A stretch of work the agent should book as one session: an application, and when it began
    and ended as windows of the agent's wall clock (earliest, latest)."""

    def __init__(self, app, start, cause):
        self.app, self.start, self.start_cause = app, start, cause
        self.end, self.end_cause = None, None
        self.detour_follows = False  # a detour shorter than a session, back to this application


class Expectation:
    def __init__(self):
        self.spans = []
        self.away = []  # agent-time windows of idleness and suspend, where nothing is booked

    @property
    def current(self):
        return self.spans[-1] if self.spans and self.spans[-1].end is None else None

    def begin(self, app, start, cause):
        self.spans.append(Span(app, start, cause))

    def finish(self, end, cause):
        span = self.current
        span.end, span.end_cause = end, cause


def proc_figures(pid):
    """Resident and private (written) memory (kB), CPU ticks of all threads, wake-ups of the main thread."""
    figures = {}
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                figures["resident"] = int(line.split()[1])
    # Pages only this process wrote: clean library pages count as private or shared depending on
    # which other programs map the same files at the moment, dirty ones do not.
    with open(f"/proc/{pid}/smaps_rollup") as rollup:
        for line in rollup:
            if line.startswith("Private_Dirty:"):
                figures["private"] = int(line.split()[1])
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
        figures["ticks"] = int(fields[11]) + int(fields[12])
    figures["wakeups"] = 0
    with open(f"/proc/{pid}/task/{pid}/status") as status:
        for line in status:
            if "ctxt_switches" in line:
                figures["wakeups"] += int(line.split()[1])
    return figures


class Service:
    def __init__(self, root):
        self.root = root

    def request(self, method, path, body=None):
        data = json.dumps(body).encode() if body is not None else None
        request = urllib.request.Request(self.root + path, data=data, method=method, headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=30) as answer:
            return answer.read()

    def fail_uploads(self, **fault):
        self.request("POST", "/dev/faults", dict(endpoint=UPLOAD_ENDPOINT, **fault))

    def heal(self):
        self.request("DELETE", "/dev/faults")

    def activities(self):
        users = json.loads(self.request("GET", "/dev/activities"))["users"]
        return next((user for user in users if user["email"] == "demo@hourloom.test"), {"uploads": 0, "user_activities": []})


class Soak:
    def __init__(self, options):
        self.options = options
        self.random = random.Random(options.seed)
        self.desktop = Desktop()
        self.service = Service(options.root)
        self.windows = {}
        for pair in options.window:
            app, window = pair.split("=")
            self.windows[app] = int(window)
        with open(os.path.join(options.work, "bundle", "Info.json")) as document:
            configuration = json.load(document)
        self.min_session = float(configuration["SECONDS_MIN_APP_SESSION"])
        self.min_idle = float(configuration["MIN_IDLE_TIME"])
        self.poll = float(configuration["IDLE_POLLING_INTERVAL"])
        self.upload_period = float(configuration["SECONDS_BETWEEN_API_SENDS"])
        self.expected = Expectation()
        self.app = None
        self.last_input = None
        self.switches = 0
        self.detours = 0
        self.spells = 0
        self.focus_changes_away = 0
        self.idle_seconds = 0.0
        self.idle_wakeups = 0
        self.idle_ticks = 0
        self.agent = None
        self.memory_before = None
        self.failures = []

    # The agent's wall clock as windows: what the script saw in real time, shifted by the offset.
    def window(self, real_window, late=LATENCY):
        return self.clock.agent(real_window[0]), self.clock.agent(real_window[1]) + late

    def estimate(self):
        """Seconds the whole run should take on an idle machine."""
        switch = self.min_session + 0.9 + 0.03
        spell = self.min_idle + self.poll + 0.6 + 2.0 + 1.5 * 0.7 + switch
        return self.options.switches * switch + self.options.idle_spells * spell + self.options.warm_up + self.options.outage + 60

    # --- what the user does -------------------------------------------------------------------

    def touch(self):
        self.last_input = self.desktop.touch()

    def dwell(self, seconds):
        """Stays in the frontmost application, with input often enough never to look idle."""
        end = time.time() + seconds
        while True:
            self.touch()
            left = end - time.time()
            if left <= 0:
                return
            time.sleep(min(0.5, left))

    def switch_to(self, app, cause="switch"):
        moment = self.desktop.activate(self.windows[app])
        self.switches += 1
        self.expected.finish(self.window(moment), cause)
        self.expected.begin(app, self.window(moment), cause)
        self.app = app
        return moment

    def other_app(self, than):
        return self.random.choice([app for app in sorted(self.windows) if app != than])

    def session(self):
        """One switch to another application and a stay in it, or a quick detour and back."""
        if self.random.random() < 0.1:
            back = self.app
            self.expected.current.detour_follows = True
            self.switch_to(self.other_app(back), "detour")
            time.sleep(max(0.05, self.min_session - 0.7))
            self.switch_to(back, "detour")
            # The detour is too short to be kept: nothing of it is booked.
            del self.expected.spans[-2]
            self.detours += 1
        else:
            self.switch_to(self.other_app(self.app))
        self.dwell(self.random.uniform(self.min_session + 0.5, self.min_session + 1.3))

    def idle_spell(self):
        """No input until the agent must have noticed, focus changes while away, then input again."""
        last = self.window(self.last_input, 0)
        self.expected.finish((last[1] + self.min_idle, last[1] + self.min_idle + self.poll + LATENCY), "idleness")
        noticed = self.last_input[1] + self.min_idle + self.poll + 0.6
        time.sleep(max(0, noticed - time.time()))
        # Two quiet seconds while idle, then windows activated by themselves (dialogs, closing
        # windows): late enough that a session they wrongly end is more than a second too long.
        before, quiet = proc_figures(self.agent.pid), time.time()
        time.sleep(2.0)
        after = proc_figures(self.agent.pid)
        self.idle_seconds += time.time() - quiet
        self.idle_wakeups += after["wakeups"] - before["wakeups"]
        self.idle_ticks += after["ticks"] - before["ticks"]
        for _ in range(self.random.choice((1, 2))):
            self.app = self.other_app(self.app)
            self.desktop.activate(self.windows[self.app])
            self.focus_changes_away += 1
            time.sleep(0.7)
        self.touch()
        self.expected.away.append((last[1], self.clock.agent(self.last_input[0])))
        self.expected.begin(self.app, self.window(self.last_input), "return from idleness")
        self.spells += 1
        self.dwell(self.random.uniform(self.min_session + 0.5, self.min_session + 1.3))

    def suspend(self):
        """The wall clock jumps forward while the monotonic clock and the idle counter do not."""
        self.dwell(self.poll + 1.5)
        before = time.time()
        self.clock.set(self.clock.offset + self.options.suspend)
        self.expected.finish((self.clock.agent(before) - self.options.suspend - self.poll - LATENCY,
                              self.clock.agent(before) - self.options.suspend + LATENCY), "suspend")
        self.expected.away.append((self.clock.agent(before) - self.options.suspend, self.clock.agent(before)))
        self.expected.begin(self.app, (self.clock.agent(before), self.clock.agent(time.time()) + self.poll + LATENCY), "resume")
        self.dwell(self.poll + 1.5)

    # --- the run ------------------------------------------------------------------------------

    def start_agent(self, change):
        """Starts the agent with its wall clock placed so that the summer-time change falls in the
        middle of the outage; returns the real moment of the change."""
        lead = 6 + self.options.warm_up + self.options.outage / 2
        self.clock = WallClock(os.path.join(self.options.work, "wall-clock"), change - lead - time.time())
        self.app = sorted(self.windows)[0]
        self.desktop.activate(self.windows[self.app])
        self.touch()
        environment = dict(os.environ, **self.clock.environment(self.options.zone))
        log = open(os.path.join(self.options.work, "agent.log"), "w")
        launched = time.time()
        self.agent = subprocess.Popen([os.path.join(self.options.work, "bundle", "hourloom")], env=environment,
                                      stdout=log, stderr=subprocess.STDOUT)
        with open(os.path.join(self.options.work, "agent.pid"), "w") as file:
            file.write(str(self.agent.pid))
        width = 0
        while width < 16:
            if self.agent.poll() is not None or time.time() - launched > 30:
                raise RuntimeError("the agent did not show its tray icon (see agent.log)")
            geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", self.options.tray],
                                      capture_output=True, text=True).stdout
            width = int(next((line[6:] for line in geometry.splitlines() if line.startswith("WIDTH=")), "0"))
            time.sleep(0.05)
        # Tracking starts once the stored login has been read: the first session began somewhere here.
        self.dwell(3)
        self.expected.begin(self.app, (self.clock.agent(launched), self.clock.agent(time.time())), "start")
        return change - self.clock.offset

    def run(self):
        options = self.options
        zone = zoneinfo.ZoneInfo(options.zone)
        change = calendar.timegm(time.strptime(options.change, "%Y-%m-%dT%H:%M:%SZ"))
        if datetime.datetime.fromtimestamp(change - 1, zone).utcoffset() == datetime.datetime.fromtimestamp(change, zone).utcoffset():
            raise RuntimeError(f"the offset of {options.zone} does not change at {options.change}")
        deadline = time.time() + 2 * self.estimate() + 300
        signal.signal(signal.SIGALRM, lambda *_: sys.exit("hard time limit reached"))
        signal.alarm(int(3 * self.estimate() + 600))
        print(f"soak: {options.switches} switches and {options.idle_spells} idle spells, about {self.estimate() / 60:.0f} min; "
              f"gives up after {(deadline - time.time()) / 60:.0f} min", flush=True)
        change_real = self.start_agent(change)
        outage = (change_real - options.outage / 2, change_real, change_real + options.outage / 2)
        spells = [round((i + 1) * options.switches / (options.idle_spells + 1)) for i in range(options.idle_spells)]
        slow_at, too_large_at, suspend_at = (round(options.switches * share) for share in (0.5, 0.6, 0.7))
        phase = 0  # 0 before the outage, 1 down (errors), 2 down (connections dropped), 3 up again
        drive_start = proc_figures(self.agent.pid)
        started = time.time()
        while self.switches < options.switches or phase < 3:
            if time.time() > deadline:
                self.failures.append("did not finish in time")
                break
            now = time.time()
            if phase == 0 and now >= outage[0]:
                self.memory_before = proc_figures(self.agent.pid)
                self.service.fail_uploads(count=1000, status=503)
                phase = 1
            elif phase == 1 and now >= outage[1]:
                self.service.fail_uploads(count=1000, close=True)
                phase = 2
            elif phase == 2 and now >= outage[2]:
                self.service.heal()
                phase = 3
            if spells and self.switches >= spells[0]:
                spells.pop(0)
                self.idle_spell()
            if self.switches >= slow_at and slow_at >= 0:
                # Answers slower than the upload period: uploads would overlap.
                self.service.fail_uploads(count=3, delay_ms=int(3 * self.upload_period * 1000))
                slow_at = -1
            if self.switches >= too_large_at and too_large_at >= 0:
                self.service.fail_uploads(count=3, status=413)
                too_large_at = -1
            if self.switches >= suspend_at and suspend_at >= 0:
                self.suspend()
                suspend_at = -1
            self.session()
        self.service.heal()
        self.dwell(2 * self.upload_period + 1)  # what ended has gone out; the last session stays open
        drive_end = proc_figures(self.agent.pid)
        self.memory_after = drive_end
        self.drive_seconds = time.time() - started
        self.drive_ticks = drive_end["ticks"] - drive_start["ticks"]
        self.quit_agent()

    def quit_agent(self):
        moment = time.time()
        self.agent.send_signal(signal.SIGTERM)
        self.expected.finish(self.window((moment, moment), 1.0), "quit")
        try:
            self.agent.wait(timeout=90)
        except subprocess.TimeoutExpired:
            self.failures.append("the agent did not quit within 90 s of SIGTERM")
            self.agent.kill()
            self.agent.wait()

    def stop(self):
        if self.agent and self.agent.poll() is None:
            self.agent.kill()
            self.agent.wait()


# --- the check --------------------------------------------------------------------------------

def booked_sessions(user):
    sessions = []
    for activity in user["user_activities"]:
        def instant(text):
            return calendar.timegm(time.strptime(text, "%Y-%m-%d %H:%M:%S")) - activity["timezone_offset"]
        sessions.append({"id": activity["id"], "app": activity["app_identifier"],
                         "start": instant(activity["start_time"]), "end": instant(activity["end_time"])})
    sessions.sort(key=lambda session: (session["start"], session["end"]))
    return sessions


def distance(booked, window):
    """Seconds between a booked instant (a whole second: [b, b + 1)) and an expected window."""
    return max(0.0, window[0] - (booked + 1), booked - window[1])


def signed(booked, window):
    return booked - window[1] if booked > window[1] else min(0.0, booked + 1 - window[0])


class Check:
    def __init__(self, expected, booked):
        self.spans = expected.spans
        self.away = expected.away
        self.booked = booked
        self.by_app = {}
        for index, session in enumerate(booked):
            self.by_app.setdefault(session["app"], []).append((session["start"], index))
        self.used = set()
        self.span_starts = {}
        self.missing = []
        self.wrong_end = []  # (span, seconds booked too long (+) or too short (-))
        self.match()

    def starting(self, span):
        """The unused booked session of the span's application that starts in its window."""
        candidates = self.by_app.get(span.app, [])
        first = bisect.bisect_left(candidates, (span.start[0] - TOLERANCE - 1, -1))
        for start, index in candidates[first:]:
            if start > span.start[1] + TOLERANCE:
                return None
            if index not in self.used and distance(start, span.start) <= TOLERANCE:
                return index
        return None

    def match(self):
        position = 0
        while position < len(self.spans):
            span = self.spans[position]
            position += 1
            index = self.starting(span)
            if index is None:
                self.missing.append(span)
                continue
            self.used.add(index)
            end = self.booked[index]["end"]
            # After a detour too short to keep, the session may have been reopened and run on: no
            # session of its own then starts where the stay after the detour began, and the booked
            # end is that stay's. Several detours in a row chain such stays. A stay shorter than
            # two seconds can end within the tolerance of the detour's start as well (wire times
            # are whole seconds), so the farthest stay of the run-on whose end fits is taken.
            following, last, run_on = position, span, None
            while last.detour_follows and following < len(self.spans) and self.starting(self.spans[following]) is None:
                last = self.spans[following]
                following += 1
                if distance(end, last.end) <= TOLERANCE:
                    run_on = following
            if run_on is not None:
                position = run_on
            elif distance(end, span.end) > TOLERANCE:
                self.wrong_end.append((span, signed(end, span.end)))

    def unexpected(self):
        return [session for index, session in enumerate(self.booked) if index not in self.used]

    def overlaps(self):
        return sum(1 for before, after in zip(self.booked, self.booked[1:]) if after["start"] < before["end"] - TOLERANCE)

    def explain_unexpected(self, session, min_session):
        starts = self.span_starts.setdefault(session["app"], sorted(span.start[0] for span in self.spans if span.app == session["app"]))
        for shift in (-3600, 3600):
            first = bisect.bisect_left(starts, session["start"] - shift - 2)
            if first < len(starts) and starts[first] <= session["start"] - shift + 2:
                return "are an hour off an expected session"
        if any(start <= session["start"] <= end for start, end in self.away):
            return "start while the user is away"
        if any(min(end, session["end"]) - max(start, session["start"]) > TOLERANCE for start, end in self.away):
            return "run on across a time away (idleness or suspend)"
        if session["end"] - session["start"] < min_session:
            return "are shorter than the shortest session kept"
        return "match no expected session"


def spread(values):
    return f"{min(values):+.1f} to {max(values):+.1f} s" if values else ""


def grouped(items, key):
    groups = {}
    for item in items:
        groups.setdefault(key(item), []).append(item)
    return groups


def report(soak, user):
    options = soak.options
    booked = booked_sessions(user)
    check = Check(soak.expected, booked)
    results = []

    def verdict(name, passed, detail):
        results.append(passed)
        print(f"{'PASS' if passed else 'FAIL'}  {name}: {detail}")

    change = datetime.datetime.fromtimestamp(calendar.timegm(time.strptime(options.change, "%Y-%m-%dT%H:%M:%SZ")), zoneinfo.ZoneInfo(options.zone))
    print(f"soak: {soak.switches} switches ({soak.detours} quick detours shorter than {soak.min_session:g} s), "
          f"{soak.spells} idle spells ({soak.focus_changes_away} focus changes while away), "
          f"{options.outage:g} s outage (503, then dropped connections), slow answers, 413s, "
          f"a suspend of {options.suspend} s, the {options.zone} change at {change:%Y-%m-%d %H:%M %Z}; "
          f"{soak.drive_seconds:.0f} s driving")
    print(f"      configuration: upload every {soak.upload_period:g} s, idle after {soak.min_idle:g} s, "
          f"idle poll every {soak.poll:g} s, sessions kept from {soak.min_session:g} s")
    print(f"      expected sessions: {len(soak.expected.spans)}; booked: {len(booked)} in {user['uploads']} accepted uploads")

    ends = grouped(check.wrong_end, lambda item: item[0].end_cause)
    detail = "every session within 1 s" if not check.wrong_end else "; ".join(
        f"{len(items)} ended by {cause} booked {spread([deviation for _, deviation in items])} off"
        for cause, items in sorted(ends.items()))
    verdict("booked time equals the time spent active, per session", not check.wrong_end, detail)

    unexpected = grouped(check.unexpected(), lambda session: check.explain_unexpected(session, soak.min_session))
    missing = grouped(check.missing, lambda span: span.start_cause)
    detail = "none" if not check.missing else "; ".join(f"{len(spans)} begun by {cause}" for cause, spans in sorted(missing.items()))
    if unexpected:
        detail += "; booked instead: " + "; ".join(f"{len(items)} that {reason}" for reason, items in sorted(unexpected.items()))
    verdict("no session missing or booked where none was", not check.missing and not unexpected, detail)

    ids = [session["id"] for session in booked]
    duplicates = len(ids) - len(set(ids))
    verdict("no id stored twice, no time booked twice", duplicates == 0 and check.overlaps() == 0,
            f"{duplicates} ids stored twice, {check.overlaps()} sessions overlapping the one before")

    before_change = [span for span in soak.expected.spans if span.start[1] < calendar.timegm(time.strptime(options.change, "%Y-%m-%dT%H:%M:%SZ"))]
    wrong = [span for span in before_change if span in check.missing]
    print(f"      of which recorded before the summer-time change: {len(before_change)} sessions, {len(wrong)} not found at their instant")

    active = sum((span.end[0] + span.end[1] - span.start[0] - span.start[1]) / 2 for span in soak.expected.spans)
    print(f"      in all: {sum(session['end'] - session['start'] for session in booked)} s booked, {active:.0f} s spent active")
    for name in ("resident", "private"):
        if soak.memory_before is None:
            break
        growth = soak.memory_after[name] - soak.memory_before[name]
        verdict(f"{name} memory grows at most 1 MB", growth <= 1024,
                f"{soak.memory_before[name]} kB after warm-up, {soak.memory_after[name]} kB at the end, {growth:+d} kB")
    tick = 1000.0 / os.sysconf("SC_CLK_TCK")
    print(f"      CPU per switch: {soak.drive_ticks * tick / max(1, soak.switches):.2f} ms "
          f"({soak.drive_ticks * tick / 1000:.1f} s CPU over {soak.switches} switches and everything between them)")
    if soak.idle_seconds:
        print(f"      while idle: {soak.idle_wakeups} wake-ups of the main thread and {soak.idle_ticks * tick:.0f} ms CPU in "
              f"{soak.idle_seconds:.1f} s ({soak.idle_wakeups / soak.idle_seconds:.1f} a second; "
              f"the upload timer included)")
    for failure in soak.failures:
        verdict("the run itself", False, failure)
    passed = all(results)
    print(f"SOAK {'PASS' if passed else 'FAIL'}: {results.count(True)} of {len(results)} checks passed")
    return passed


def main():
    options = arguments()
    soak = Soak(options)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("soak: stopped"))
    try:
        soak.run()
        user = soak.service.activities()
    except (Exception, SystemExit) as error:
        print(f"SOAK FAIL: {error}")
        return 1
    finally:
        soak.stop()
    with open(os.path.join(options.work, "booked.json"), "w") as file:
        json.dump(user, file, indent=1)
    with open(os.path.join(options.work, "expected.json"), "w") as file:
        json.dump({"spans": [vars(span) for span in soak.expected.spans], "away": soak.expected.away}, file, indent=1)
    return 0 if report(soak, user) else 1


if __name__ == "__main__":
    sys.exit(main())
