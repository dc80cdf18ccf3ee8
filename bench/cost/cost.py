#!/usr/bin/env python3
"""What each desktop timer costs the machine; run by bench/cost/run.

Each program runs on a fresh virtual display (Xvfb), once per round, the
programs interleaved so that the load of the shared machine falls on all of
them alike. Per run: start it, let it settle, an idle window with its window
open, then start a 30-minute countdown as a person would (keys or clicks),
check that the picture changes, and a counting window.

CPU is utime + stime from /proc, summed over every process the program
involves: each is marked at launch by an environment variable that children
inherit (the program, wineserver and Wine's helper processes, D-Bus and what
it starts), found through /proc/PID/environ. The X server is counted apart.
Memory: resident and anonymous (RssAnon) of the main process at the end of
the counting window.
"""
import argparse
import hashlib
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time

TICKS = os.sysconf("SC_CLK_TCK")
TAG_VAR = "TOCKLET_COST_TAG"
SCREEN = "1024x768x24"
# A desktop session loads a resource database into the X server (xrdb, or the
# session's settings daemon); a bare Xvfb has none. Without one, Xlib rereads
# ~/.Xdefaults from disk on every XGetDefault, which Wine's X11 driver calls on
# each font selection into a window's device context.
DESKTOP_RESOURCES = "Xft.dpi:\t96\n"

KTIMERRC = """[Job0]
Command=
Consecutive=false
Delay=1800
Loop=false
OneInstance=true
State=0

[Jobs]
Number=1
"""
# GNOME Clocks 43 crashes on a saved timer without a name.
CLOCKS_START = (
    "gsettings set org.gnome.clocks timers \"[{'duration': <int32 1800>, 'name': <'Timer'>}]\" && "
    "gsettings set org.gnome.clocks.state.window panel-id timer && exec gnome-clocks"
)

# Process names as the table shows them (comm is cut to 15 characters).
NAMES = {
    "wineserver64": "wineserver",
    "wineserver32": "wineserver",
    "cost_reference.": "cost_reference.exe",
    "dbus-run-sessio": "dbus-run-session",
    "at-spi-bus-laun": "at-spi-bus-launcher",
    "at-spi2-registr": "at-spi2-registryd",
}


def log(*parts):
    print(*parts, flush=True)


def read_stat(pid):
    """(comm, start time, CPU ticks) of a process, or None when it is gone."""
    try:
        with open(f"/proc/{pid}/stat", "rb") as f:
            data = f.read().decode(errors="replace")
    except OSError:
        return None
    comm = data[data.index("(") + 1 : data.rindex(")")]
    fields = data[data.rindex(")") + 2 :].split()
    return comm, int(fields[19]), int(fields[11]) + int(fields[12])


def memory_mib(pid):
    values = {}
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                key, _, rest = line.partition(":")
                if key in ("VmRSS", "RssAnon"):
                    values[key] = int(rest.split()[0]) / 1024
    except OSError:
        return None
    return values.get("VmRSS"), values.get("RssAnon")


class Tracker:
    """The marked processes of one run and the CPU ticks last seen for each."""

    def __init__(self, tag):
        self.marker = f"{TAG_VAR}={tag}".encode()
        self.seen = {}  # (pid, start time) -> [comm, ticks]
        self.unmarked = set()

    def scan(self):
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            pid = int(entry)
            stat = read_stat(pid)
            if stat is None:
                continue
            comm, start, ticks = stat
            key = (pid, start)
            if key in self.unmarked:
                continue
            if key not in self.seen:
                try:
                    with open(f"/proc/{pid}/environ", "rb") as f:
                        environ = f.read().split(b"\0")
                except OSError:
                    continue
                if self.marker not in environ:
                    self.unmarked.add(key)
                    continue
            self.seen[key] = [comm, ticks]

    def live_pids(self):
        return [pid for (pid, start) in self.seen if (read_stat(pid) or (0, -1))[1] == start]

    def main_pid(self, comm):
        for (pid, _), (name, _) in self.seen.items():
            if name == comm and pid in self.live_pids():
                return pid
        return None


def measure(tracker, xserver_pid, seconds):
    """CPU in % of one core over a window: {process name: %}, X server %."""
    tracker.scan()
    before = {key: ticks for key, (_, ticks) in tracker.seen.items()}
    x_before = read_stat(xserver_pid)[2]
    start = time.monotonic()
    end = start + seconds
    while True:
        now = time.monotonic()
        if now >= end:
            break
        time.sleep(min(1.0, end - now))
        tracker.scan()
    wall = time.monotonic() - start
    x_after = read_stat(xserver_pid)[2]
    per_name = {}
    for key, (comm, ticks) in tracker.seen.items():
        used = ticks - before.get(key, 0)  # a process born in the window: all of it
        name = NAMES.get(comm, comm)
        per_name[name] = per_name.get(name, 0.0) + 100.0 * used / TICKS / wall
    return per_name, 100.0 * (x_after - x_before) / TICKS / wall


class Display:
    """A fresh Xvfb of its own."""

    def __init__(self, resources):
        for number in range(140, 240):
            if os.path.exists(f"/tmp/.X{number}-lock") or os.path.exists(
                f"/tmp/.X11-unix/X{number}"
            ):
                continue
            self.name = f":{number}"
            self.process = subprocess.Popen(
                ["Xvfb", self.name, "-noreset", "-screen", "0", SCREEN, "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL,
                start_new_session=True,
            )
            deadline = time.monotonic() + 15
            while time.monotonic() < deadline and self.process.poll() is None:
                if self.run(["xdpyinfo"], check=False).returncode == 0:
                    break
                time.sleep(0.2)
            if self.process.poll() is None:
                break
        else:
            sys.exit("cost: no free display for Xvfb")
        if resources:
            self.run(["xprop", "-root", "-f", "RESOURCE_MANAGER", "8s", "-set",
                      "RESOURCE_MANAGER", resources])

    def run(self, command, check=True):
        return subprocess.run(command, env={**os.environ, "DISPLAY": self.name},
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=check)

    def xdotool(self, *arguments):
        return self.run(["xdotool", *arguments], check=False).stdout.decode().split()

    def picture(self, window):
        shot = self.run(["import", "-window", window, "rgb:-"], check=False).stdout
        return hashlib.sha1(shot).hexdigest() if shot else None

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class Program:
    def __init__(self, key, label, main_comm):
        self.key, self.label, self.main_comm = key, label, main_comm

    def launch(self, display, env, workdir):
        raise NotImplementedError

    def find_window(self, display):
        raise NotImplementedError

    def start_counting(self, display, window):
        raise NotImplementedError

    def stop(self, process, tracker):
        pass


class WineProgram(Program):
    def __init__(self, key, label, exe, title, main_comm):
        super().__init__(key, label, main_comm)
        self.exe, self.title = exe, title

    def launch(self, display, tag, workdir):
        env = {**os.environ, "DISPLAY": display.name, TAG_VAR: tag}
        return subprocess.Popen(["wine", self.exe], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True)

    def find_window(self, display):
        found = display.xdotool("search", "--name", f"^{self.title}$")
        return found[0] if found else None

    def stop(self, process, tracker):
        subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], stderr=subprocess.DEVNULL)


class Tocklet(WineProgram):
    def start_counting(self, display, window):
        # 0 h 30 min, as typed into the dialog; Start is Alt+C.
        if display.run(["xdotool", "windowactivate", "--sync", window], check=False).returncode:
            display.xdotool("windowfocus", "--sync", window)
        display.xdotool("key", "--window", window, "--clearmodifiers", "Tab")
        display.xdotool("type", "--window", window, "--delay", "40", "30")
        time.sleep(0.3)
        display.xdotool("key", "--window", window, "--clearmodifiers", "alt+c")


class Reference(WineProgram):
    def start_counting(self, display, window):
        display.xdotool("mousemove", "--window", window, "60", "80", "click", "1")


class Peer(Program):
    """A desktop timer under a private D-Bus session and a private HOME."""

    window_class = ""

    def environment(self, display, tag, workdir):
        home = os.path.join(workdir, "home")
        runtime = os.path.join(workdir, "runtime")
        os.makedirs(os.path.join(home, ".config"), exist_ok=True)
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        return {
            "PATH": os.environ["PATH"], "HOME": home, "XDG_RUNTIME_DIR": runtime,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_CACHE_HOME": os.path.join(home, ".cache"),
            "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
            "DISPLAY": display.name, "LANG": "C.UTF-8", TAG_VAR: tag,
        }

    def find_window(self, display):
        # By class: the title is translated and carries the page's name.
        best, area = None, 0
        for window in display.xdotool("search", "--onlyvisible", "--class", self.window_class):
            geometry = display.run(["xdotool", "getwindowgeometry", "--shell", window],
                                   check=False).stdout.decode()
            size = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
            here = int(size.get("WIDTH", 0)) * int(size.get("HEIGHT", 0))
            if here > area:
                best, area = window, here
        return best if area > 100 * 100 else None

    def stop(self, process, tracker):
        # The program first: dbus-run-session then ends its bus and reaps it
        # (a process left to init here may never be reaped). Then the
        # session's group, and whatever it started elsewhere: all of them
        # carry this run's mark.
        tracker.scan()
        main = tracker.main_pid(self.main_comm)
        if main:
            os.kill(main, signal.SIGTERM)
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                pass
        try:
            os.killpg(process.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        for pid in tracker.live_pids():
            try:
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        time.sleep(1)
        for pid in tracker.live_pids():
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass


class KTimer(Peer):
    window_class = "^ktimer$"

    def launch(self, display, tag, workdir):
        env = self.environment(display, tag, workdir)
        with open(os.path.join(env["XDG_CONFIG_HOME"], "ktimerrc"), "w") as f:
            f.write(KTIMERRC)
        return subprocess.Popen(["dbus-run-session", "--", "ktimer"], env=env, cwd=workdir,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                start_new_session=True)

    def start_counting(self, display, window):
        # The job's row in the list, then the start button (">") beside it.
        display.xdotool("mousemove", "--window", window, "60", "41", "click", "1")
        time.sleep(0.5)
        display.xdotool("mousemove", "--window", window, "460", "195", "click", "1")


class Clocks(Peer):
    window_class = r"^org\.gnome\.clocks$"

    def __init__(self, key, label, main_comm, extra_env=None):
        super().__init__(key, label, main_comm)
        self.extra_env = extra_env or {}

    def launch(self, display, tag, workdir):
        env = {**self.environment(display, tag, workdir), **self.extra_env}
        return subprocess.Popen(["dbus-run-session", "--", "sh", "-c", CLOCKS_START], env=env,
                                cwd=workdir, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True)

    def start_counting(self, display, window):
        # The saved timer's round start button on the timer page.
        display.xdotool("mousemove", "--window", window, "434", "228", "click", "1")


def load_average():
    with open("/proc/loadavg") as f:
        return float(f.read().split()[0])


def run_once(program, args, round_number):
    """One run of one program; a dict of its figures, or an error text."""
    tag = f"{os.getpid()}-{program.key}-{round_number}"
    display = Display(None if args.bare_x else DESKTOP_RESOURCES)
    tracker = Tracker(tag)
    workdir = tempfile.mkdtemp(prefix=f"tocklet-cost-{program.key}-")
    process = program.launch(display, tag, workdir)
    try:
        window = None
        deadline = time.monotonic() + 60
        while window is None and time.monotonic() < deadline:
            time.sleep(0.5)
            window = program.find_window(display)
        if window is None:
            return f"{program.label}: no window within 60 s"
        time.sleep(args.settle)
        loads = [load_average()]
        idle, idle_x = measure(tracker, display.process.pid, args.idle or args.window)
        program.start_counting(display, window)
        time.sleep(3)
        first = display.picture(window)
        time.sleep(1.2)
        if first is None or display.picture(window) == first:
            return f"{program.label}: the countdown did not start (its picture does not change)"
        loads.append(load_average())
        counting, counting_x = measure(tracker, display.process.pid, args.window)
        loads.append(load_average())
        first = display.picture(window)
        time.sleep(1.2)
        if display.picture(window) == first:
            return f"{program.label}: stopped counting during the window"
        pid = tracker.main_pid(program.main_comm)
        memory = memory_mib(pid) if pid else None
        return {
            "idle": idle, "idle_x": idle_x, "counting": counting, "counting_x": counting_x,
            "rss": memory[0] if memory else None, "anon": memory[1] if memory else None,
            "load": loads,
        }
    finally:
        program.stop(process, tracker)
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
        display.close()
        subprocess.run(["rm", "-rf", workdir])


def run_rounds(programs, rounds, run, say):
    """{program key: {round: figures}}: a failed run leaves its round out, so
    every figure stays paired with its own round."""
    results = {p.key: {} for p in programs}
    for round_number in range(1, rounds + 1):
        # Rotated each round, so that no program always runs first or last.
        shift = (round_number - 1) % len(programs)
        for program in programs[shift:] + programs[:shift]:
            result = run(program, round_number)
            if isinstance(result, str):
                say(f"round {round_number}: FAILED {result}")
                continue
            results[program.key][round_number] = result
            parts = ", ".join(f"{n} {v:.2f}" for n, v in
                              sorted(result["counting"].items(), key=lambda kv: -kv[1]) if v >= 0.005)
            say(f"round {round_number} {program.label}: idle {sum(result['idle'].values()):.2f} % "
                f"+ X {result['idle_x']:.2f}; counting {sum(result['counting'].values()):.2f} % "
                f"({parts}) + X {result['counting_x']:.2f}; RSS {result['rss'] or 0:.1f} MiB "
                f"(anon {result['anon'] or 0:.1f}); load {max(result['load']):.2f}")
    return results


def counting_total(run):
    return sum(run["counting"].values()) + run["counting_x"]


def reference_ratios(results, key):
    """Each round's counting total over the reference's in the same round."""
    reference = results.get("reference", {})
    return [counting_total(run) / counting_total(reference[number])
            for number, run in sorted(results[key].items())
            if number in reference and counting_total(reference[number]) > 0]


def median_range(values, digits=2):
    values = [v for v in values if v is not None]
    if not values:
        return "–"
    text = f"{statistics.median(values):.{digits}f}"
    if len(values) > 1:
        text += f" ({min(values):.{digits}f}–{max(values):.{digits}f})"
    return text


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tocklet", required=True)
    parser.add_argument("--reference", required=True)
    parser.add_argument("--machine", default="x86_64")
    parser.add_argument("--out", default="build/bench-cost.txt")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--window", type=float, default=60, help="seconds per window")
    parser.add_argument("--idle", type=float,
                        help="seconds of the idle window (default: as --window)")
    parser.add_argument("--settle", type=float, default=10,
                        help="seconds between the window appearing and the idle window")
    parser.add_argument("--programs", default="tocklet,reference,ktimer,gnome-clocks",
                        help="of: tocklet, reference, ktimer, gnome-clocks, gnome-clocks-cairo")
    parser.add_argument("--also", action="append", default=[], metavar="LABEL=EXE",
                        help="another build of Tocklet, driven alike (to weigh a change)")
    parser.add_argument("--bare-x", action="store_true",
                        help="no resource database in the X server (a bare Xvfb)")
    args = parser.parse_args()

    catalogue = {
        "tocklet": Tocklet("tocklet", "Tocklet", args.tocklet, "Tocklet Version 0.01",
                           os.path.basename(args.tocklet)[:15]),
        "reference": Reference("reference", "bare Win32 reference", args.reference,
                               "Tocklet cost reference", "cost_reference."),
        "ktimer": KTimer("ktimer", "KTimer", "ktimer"),
        "gnome-clocks": Clocks("gnome-clocks", "GNOME Clocks", "gnome-clocks"),
        "gnome-clocks-cairo": Clocks("gnome-clocks-cairo", "GNOME Clocks, GSK_RENDERER=cairo",
                                     "gnome-clocks", {"GSK_RENDERER": "cairo"}),
    }
    try:
        programs = [catalogue[key] for key in args.programs.split(",")]
    except KeyError as error:
        sys.exit(f"cost: unknown program {error}")
    for number, also in enumerate(args.also):
        label, _, exe = also.partition("=")
        programs.append(Tocklet(f"also{number}", label, exe, "Tocklet Version 0.01",
                                os.path.basename(exe)[:15]))

    out = open(args.out, "w")

    def say(text=""):
        log(text)
        out.write(text + "\n")

    wine = subprocess.run(["wine", "--version"], stdout=subprocess.PIPE).stdout.decode().strip()
    say(f"# cost: {time.strftime('%Y-%m-%dT%H:%MZ', time.gmtime())}, {os.cpu_count()} cores, "
        f"{wine} ({args.machine}), {args.rounds} rounds, windows of {args.window:g} s, "
        f"X server: {'bare' if args.bare_x else 'with a desktop resource database'}, "
        f"load {load_average():.2f}")
    results = run_rounds(programs, args.rounds,
                         lambda program, number: run_once(program, args, number), say)
    say()
    say("CPU in % of one core (median (min–max) of the rounds); memory of the main process.")
    say()
    say("| | idle, window open | idle: X | counting: program + helpers | counting: X | "
        "counting total | × reference | resident (anonymous) MiB |")
    say("|---|---|---|---|---|---|---|---|")
    for program in programs:
        runs = list(results[program.key].values())
        if not runs:
            say(f"| {program.label} | failed | | | | | | |")
            continue
        ratio = "–"
        if program.key != "reference":
            # Same round, same load: the ratio of each round, then its median.
            pairs = reference_ratios(results, program.key)
            if pairs:
                ratio = median_range(pairs)
        names = {}
        for run in runs:
            for name in run["counting"]:
                names.setdefault(name, []).append(run["counting"][name])
        shown = sorted(((statistics.median(v + [0.0] * (len(runs) - len(v))), n)
                        for n, v in names.items()), reverse=True)
        helpers = ", ".join(f"{n} {m:.2f}" for m, n in shown if m >= 0.01)
        say(f"| {program.label} "
            f"| {median_range([sum(r['idle'].values()) for r in runs])} "
            f"| {median_range([r['idle_x'] for r in runs])} "
            f"| {median_range([sum(r['counting'].values()) for r in runs])}: {helpers} "
            f"| {median_range([r['counting_x'] for r in runs])} "
            f"| {median_range([counting_total(r) for r in runs])} | {ratio} "
            f"| {median_range([r['rss'] for r in runs], 1)} "
            f"({median_range([r['anon'] for r in runs], 1)}) |")
    say()
    say("Each process apart (median % of one core, idle / counting):")
    for program in programs:
        runs = list(results[program.key].values())
        names = sorted({n for r in runs for n in list(r["idle"]) + list(r["counting"])})
        cells = []
        for name in names:
            idle = statistics.median([r["idle"].get(name, 0.0) for r in runs])
            counting = statistics.median([r["counting"].get(name, 0.0) for r in runs])
            cells.append(f"{name} {idle:.2f} / {counting:.2f}")
        say(f"- {program.label}: " + "; ".join(cells))
    loads = [load for runs in results.values() for r in runs.values() for load in r["load"]]
    if loads:
        say(f"Load average (1 min) during the windows: {min(loads):.2f}–{max(loads):.2f} "
            f"on {os.cpu_count()} cores.")
    out.close()
    return 0 if all(results.values()) else 1


if __name__ == "__main__":
    sys.exit(main())
