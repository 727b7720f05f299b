"""The measuring half of scripts/bench.sh, which installs and builds what it
needs, starts the X display and the Wine prefix (DISPLAY, VELLORA_XVFB_PID,
WINEPREFIX in the environment) and hands over to this with its own arguments:

  bench.py [calls per figure (250)] [seconds per program run (30)]
  bench.py --peer [seconds per peer run (20)] [rounds (3)]
  bench.py --against REV EXE [seconds per run (20)] [rounds (3)]

Prints the tables on stdout and its progress on stderr; exits 1 when a figure
could not be taken, which then says so in its place."""

import os
import re
import statistics
import subprocess
import sys
import tempfile
import time
from contextlib import contextmanager
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
from desktop import (DEFAULT_SETTINGS, SETTING_KEY, WTS_SESSION_LOCK,  # noqa: E402
                     WM_WTSSESSION_CHANGE, Wine, wait_for, xdotool)

BUILD = Path(os.environ.get("VELLORA_BUILD", ROOT / "build"))
WIN = BUILD / "win"
EXE = WIN / "app" / "vellora.exe"
PROCESS_BENCH = WIN / "bench" / "vellora_process_bench.exe"
REFRESH_BENCH = WIN / "bench" / "vellora_refresh_bench.exe"
PICTURE = WIN / "tests" / "app" / "vellora_picture.exe"
WINDOWS_RULES = WIN / "tests" / "app" / "vellora_windows_rules.dll"
# The Linux process of a vellora.exe, however it was started.
PROGRAM = r"^[^ ]*[\\/]vellora\.exe *$"
HZ = os.sysconf("SC_CLK_TCK")

if "WINEPREFIX" not in os.environ:
    sys.exit("bench.py is started by scripts/bench.sh, which prepares the display and Wine")
wine = Wine(os.environ["WINEPREFIX"])
missing = False  # a figure that could not be taken


def log(text):
    print("==> " + text, file=sys.stderr, flush=True)


def winpath(path):
    return subprocess.run(["winepath", "-w", str(path)], env=wine.env, check=True,
                          capture_output=True, text=True).stdout.strip()


def seed_settings(rate, entire=10):
    """The defaults, with a refresh rate (hundredths a second) and every how
    many ticks a refresh is whole."""
    wine.reg_delete_tree(SETTING_KEY)
    for name, value in dict(DEFAULT_SETTINGS, RefreshRate=rate, EntireRefreshRate=entire).items():
        wine.reg_add(SETTING_KEY, name, value)


def stop_vellora(process):
    """Ends a vellora.exe as Exit would, by force after 10 s."""
    wine.run("taskkill", "/im", "vellora.exe", check=False)
    try:
        process.wait(10)
    except subprocess.TimeoutExpired:
        wine.run("taskkill", "/f", "/im", "vellora.exe", check=False)
        process.wait()


# --- processes, read from /proc --------------------------------------------------

def cpu_ticks(pid):
    """User plus system time of a process so far, in clock ticks; 0 once gone."""
    try:
        stat = Path(f"/proc/{pid}/stat").read_text()
    except OSError:
        return 0
    fields = stat.rsplit(") ", 1)[1].split()  # the name may hold spaces and ")"
    return int(fields[11]) + int(fields[12])


def command_line(pid):
    try:
        return Path(f"/proc/{pid}/cmdline").read_bytes().replace(b"\0", b" ").decode(
            errors="replace")
    except OSError:
        return ""


def prefix_pids(pattern):
    """Processes of our Wine prefix whose command line (arguments joined by
    spaces) matches `pattern`, oldest first; not this one, which has the
    prefix in its environment too."""
    ours = f"WINEPREFIX={wine.prefix}".encode()
    pids = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit() or int(entry.name) == os.getpid():
            continue
        try:
            if ours not in (entry / "environ").read_bytes().split(b"\0"):
                continue
        except OSError:
            continue
        if re.search(pattern, command_line(entry.name)):
            pids.append(int(entry.name))
    return sorted(pids)


def peak_resident_mb(pid):
    try:
        m = re.search(r"^VmHWM:\s+(\d+)", Path(f"/proc/{pid}/status").read_text(), re.M)
    except OSError:
        return None
    return int(m.group(1)) / 1024 if m else None


WINESERVER = (prefix_pids(r"^[^ ]*wineserver(64)? ") or [None])[0]
XVFB = int(os.environ["VELLORA_XVFB_PID"])


class CpuMeter:
    """CPU of named groups of processes from now on, in percent of one core.
    A process that ends in between (a short-lived helper) is left out rather
    than counted negative."""

    def __init__(self, **groups):
        self.groups = {name: [p for p in pids if p] for name, pids in groups.items()}
        self.start = {p: cpu_ticks(p) for pids in self.groups.values() for p in pids}
        self.t0 = time.monotonic()

    def read(self):
        """({group: percent}, seconds since the start)."""
        seconds = time.monotonic() - self.t0
        percent = {}
        for name, pids in self.groups.items():
            ticks = sum(max(0, cpu_ticks(p) - self.start[p]) for p in pids
                        if Path(f"/proc/{p}").exists())
            percent[name] = 100 * ticks / HZ / seconds
        return percent, seconds


@dataclass
class Span:
    """One measured span of a running program; CPU in percent of one core."""
    pid: int
    command_line: str
    seconds: float
    program: float
    wineserver: float
    xvfb: float
    others: float  # the prefix's other processes: Wine's desktop and services, a harness
    peak_mb: float | None  # the peak resident set (VmHWM) seen while it ran


class Running:
    """A started program whose Linux process was found."""

    def __init__(self, pid, xvfb):
        self.pid, self.xvfb = pid, xvfb
        self.command_line = command_line(pid).rstrip()  # before it may end

    def sample(self, ended, limit):
        """CPU from now until `ended()` holds or `limit` seconds have gone."""
        in_prefix = self.xvfb == XVFB
        others = ([p for p in prefix_pids(".") if p not in (self.pid, WINESERVER)]
                  if in_prefix else [])
        meter = CpuMeter(program=[self.pid], wineserver=[WINESERVER] if in_prefix else [],
                         xvfb=[self.xvfb], others=others)
        peak, end = None, time.monotonic() + limit
        while not ended() and time.monotonic() < end:
            peak = peak_resident_mb(self.pid) or peak  # read while it lives
            time.sleep(0.05)
        cpu, seconds = meter.read()
        return Span(self.pid, self.command_line, seconds, cpu["program"],
                    cpu["wineserver"], cpu["xvfb"], cpu["others"], peak)


@contextmanager
def running(start, pattern=None, ready=lambda: True, stop=None, xvfb=XVFB, timeout=90):
    """Starts a program (`start()` returns its Popen), finds its Linux process
    (matching `pattern` in our prefix, else the one started) once `ready()`
    holds, and yields a Running to sample, or None if either did not happen
    within `timeout` seconds; then ends it with `stop(process)`, or waits for
    it to end by itself."""
    process = start()
    try:
        def found():
            if not ready():
                return None
            return (prefix_pids(pattern) or [None])[0] if pattern else process.pid
        try:
            pid = wait_for(found, timeout, interval=0.1)
        except AssertionError:
            pid = None
        yield Running(pid, xvfb) if pid else None
    finally:
        if stop:
            stop(process)
        process.wait()


@dataclass
class Event:
    """A line of the hook DLL's log: a timer message dispatched, or a copy
    onto the layered view of `width` x `height` pixels of its client area."""
    time_us: int
    kind: str
    width: int = 0
    height: int = 0
    view_width: int = 0
    view_height: int = 0


def read_events(path):
    """The whole lines of a hook log so far."""
    try:
        text = Path(path).read_bytes().decode(errors="replace")
    except OSError:
        return []
    events = []
    for line in text.split("\n")[:-1]:  # the last one may be still being written
        parts = line.split()
        if len(parts) >= 2:
            events.append(Event(int(parts[0]), parts[1], *map(int, parts[2:6])))
    return events


def copies(events):
    return [e for e in events if e.kind == "copy"]


# --- refresh times and the running program -----------------------------------------

@dataclass
class BenchRun:
    """A run of the process benchmark: what it printed ("name: value" lines)
    and what /proc said of the program meanwhile."""
    report: dict = field(default_factory=dict)
    span: Span | None = None
    why: str = ""  # the benchmark's first word, when the program was not found


def process_bench(mode, target, pattern, seconds, rate, entire=10, extra=()):
    """Seeds the settings and runs vellora_process_bench.exe `mode` on a program."""
    global missing
    seed_settings(rate, entire)
    with tempfile.NamedTemporaryFile(dir=BUILD, prefix="bench-run-") as out:
        def printed():  # the Windows tools end their lines with CR LF
            return Path(out.name).read_text(errors="replace").replace("\r", "").split("\n")

        def start():
            return wine.start(PROCESS_BENCH, mode, winpath(target), str(seconds), *extra,
                              stdout=out)
        with running(start, pattern, ready=lambda: "begin" in printed()) as program:
            span = program.sample(lambda: "end" in printed(), seconds + 30) if program else None
        run = BenchRun(span=span)
        for line in printed():
            name, sep, value = line.partition(": ")
            if sep and name not in run.report:
                run.report[name] = value
        if not span:
            missing = True
            run.why = (printed() or [""])[0]
        return run


def rate_shown(rate, windows_tick):
    """Copies onto the view a second over 6 s after the program's first
    second, at `rate` (hundredths a second) on Wine's timers or Windows' tick.
    Every refresh whole: a refresh around the cursor copies only what it
    changed, which with the cursor away from the reflected area is nothing."""
    global missing
    seed_settings(rate, entire=1)
    log_path = BUILD / "bench-copies.log"
    log_path.unlink(missing_ok=True)
    env = dict(wine.env, VELLORA_HOOK_TICK=str(int(windows_tick)),
               VELLORA_HOOK_COPY_LOG=winpath(log_path))
    process = wine.start(EXE, env=env)
    time.sleep(8)
    stop_vellora(process)
    times = [e.time_us for e in copies(read_events(log_path))]
    counted = [t for t in times if t >= times[0] + 1_000_000] if times else []
    if len(counted) <= 10:
        missing = True
        return "(no copies counted)"
    return f"{(len(counted) - 1) / ((counted[-1] - counted[0]) / 1e6):.2f}"


@dataclass
class ProgramFigures:
    runs: dict  # column title: BenchRun
    shown: dict  # (rate, on Windows' tick): refreshes a second
    gdi: list


@dataclass(frozen=True)
class ProgramColumn:
    title: str
    rate: int  # hundredths a second
    mode: str = "run"  # of the process benchmark: "run" or "run-minimised"
    plain: str = ""  # the arguments of the benchmark's own plain window, run instead of Vellora


PROGRAM_COLUMNS = (
    ProgramColumn("10 refreshes/s, whole every 10th", 1000),
    ProgramColumn("50 refreshes/s", 5000),
    ProgramColumn("10 refreshes/s, minimised", 1000, mode="run-minimised"),
    ProgramColumn("50 refreshes/s, minimised", 5000, mode="run-minimised"),
    ProgramColumn("plain waiting window (floor)", 1000, plain="idle"),
    ProgramColumn("plain window, 10 timer ticks/s", 1000, plain="idle 100"),
)


def measure_programs(seconds):
    runs = {}
    for column in PROGRAM_COLUMNS:
        log(f"{column.title} ({seconds} s)")
        if column.plain:
            pattern = r"vellora_process_bench\.exe " + re.escape(column.plain) + " *$"
            runs[column.title] = process_bench(column.mode, PROCESS_BENCH, pattern, seconds,
                                               column.rate, extra=(column.plain,))
        else:
            runs[column.title] = process_bench(column.mode, EXE, PROGRAM, seconds, column.rate)
    shown = {}
    for rate in (1000, 2000, 5000):
        for tick in (False, True):
            where = "on Windows' tick" if tick else "on Wine's timers"
            log(f"the rate shown at {rate // 100} a second, {where}")
            shown[rate, tick] = rate_shown(rate, tick)
    log(f"GDI objects of the running program, counted inside it ({seconds} s)")
    seed_settings(1000)
    gdi = wine.run(PROCESS_BENCH, "gdi", str(seconds), check=False).stdout.replace("\r", "")
    wine.reg_delete_tree(SETTING_KEY)
    return ProgramFigures(runs, shown, gdi.splitlines())


def print_program_tables(table, seconds, figures, idle):
    print(f"\nRefresh of the reflection view: {table[0]}\n")
    print("\n".join(table[1:]))
    print(f"\nThe running program ({seconds} s per rate, default settings otherwise):\n")
    print("| | " + " | ".join(figures.runs) + " |")
    print("|---|" + "---|" * len(figures.runs))

    def row(title, cell):
        print(f"| {title} | " + " | ".join(cell(run) for run in figures.runs.values()) + " |")

    def not_found(run):
        return f"(not found{': ' + run.why if run.why else ''})"

    row("view", lambda run: run.report.get("view", ""))
    row("CPU and peak resident set, /proc", lambda run: (
        f"{run.span.program:.2f}% of one core, peak resident (VmHWM) "
        + (f"{run.span.peak_mb:.1f} MB" if run.span.peak_mb else "? MB")
        if run.span else not_found(run)))
    for title, name in (("CPU, GetProcessTimes", "cpu seconds (GetProcessTimes)"),
                        ("working set, GetProcessMemoryInfo", "working set (GetProcessMemoryInfo)"),
                        ("GetGuiResources", "GDI objects (GetGuiResources)")):
        row(title, lambda run, name=name: run.report.get(name, ""))
    row("Wine/X overhead (not Windows cost)", lambda run: (
        f"wineserver {run.span.wineserver:.2f}%, Xvfb {run.span.xvfb:.2f}% of one core"
        if run.span else not_found(run)))
    row("minimised while measured", lambda run: run.report.get("minimised", ""))
    row("exit code", lambda run: run.report.get("exit code", ""))
    row("Linux process measured", lambda run: (
        f"{run.span.pid} {run.span.command_line}" if run.span else not_found(run)))
    print("\nThe rate shown (copies onto the view a second, over 6 s after the first, every "
          "refresh whole), refreshes a second:\n")
    print("| rate set | under Wine as it is | on Windows' 15.625 ms timer tick |")
    print("|---:|---:|---:|")
    for rate in (1000, 2000, 5000):
        print(f"| {rate // 100} | {figures.shown[rate, False]} | {figures.shown[rate, True]} |")
    print(f"\nWine/X at rest (10 s, before the program starts): {idle}.")
    print("GDI objects counted inside a running program (10 refreshes/s):")
    print("\n".join("  " + line for line in figures.gdi))
    size = EXE.stat().st_size
    with tempfile.TemporaryDirectory() as tmp:
        stripped = Path(tmp) / "vellora.exe"
        subprocess.run(["x86_64-w64-mingw32-strip", "-o", stripped, EXE], check=True)
        stripped_size = stripped.stat().st_size
    print(f"vellora.exe: {size} bytes ({size // 1024} KiB); stripped of symbols {stripped_size} "
          f"bytes ({stripped_size // 1024} KiB).")


def refresh_table(calls):
    """The refresh benchmark's table: a title line, then the table."""
    table = BUILD / "bench-refresh.txt"
    table.unlink(missing_ok=True)
    # A Wine desktop of the screen's size; the program's console does not
    # reach us from there, so the table comes back through a file.
    wine.run("explorer", "/desktop=VelloraBench,3840x2160", REFRESH_BENCH, str(calls),
             winpath(table), check=False)
    if not table.exists() or not table.stat().st_size:
        log("the refresh benchmark wrote nothing")
        sys.exit(1)
    return table.read_text(errors="replace").replace("\r", "").rstrip("\n").split("\n")


# --- the peer: the native X11 mirror xzoom, side by side -------------------------

@contextmanager
def own_display(size):
    """An X display of its own, on a number that Xvfb finds free."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", size + "x24",
                             "-nolisten", "tcp"], pass_fds=(write,), stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        display = ":" + f.readline().strip()
    try:
        yield display, xvfb.pid
    finally:
        xvfb.terminate()
        xvfb.wait()


def xzoom_delay_ms(pid):
    """xzoom's delay between copies as it sleeps it (traced after the measured
    span, as tracing costs CPU), or None."""
    out = subprocess.run(["timeout", "2", "strace", "-p", str(pid), "-e",
                          "trace=clock_nanosleep,nanosleep"], capture_output=True, text=True)
    nsec = re.findall(r"tv_nsec=(\d+)", out.stderr)
    return int(max(set(nsec), key=nsec.count)) // 1_000_000 if nsec else None


@dataclass
class PeerCase:
    label: str
    rate: int  # refreshes a second
    xzoom_presses: int = 0  # of its key d, from 200 ms between copies: 1 gives 100 ms, 2 50 ms
    entire: int = 0  # for Vellora: every how many ticks a whole refresh
    spans: list = field(default_factory=list)  # one Span (or None) a round


PEER_CASES = (
    PeerCase("xzoom, 100 ms between copies", 10, xzoom_presses=1),
    PeerCase("Vellora, whole every tick", 10, entire=1),
    PeerCase("Vellora, defaults (whole every 10th)", 10, entire=10),
    PeerCase("xzoom, 50 ms between copies", 20, xzoom_presses=2),
    PeerCase("Vellora, whole every tick", 20, entire=1),
    PeerCase("Vellora, defaults (whole every 10th)", 20, entire=10),
)


@dataclass
class PeerFigures:
    seconds: int
    rounds: int
    view: str = ""
    delays: list = field(default_factory=list)


def peer_xzoom(case, seconds, figures):
    """xzoom on a display of its own, mirroring (-x) at scale 1 an area of the
    view's size where the program's view would have it."""
    with own_display("1920x1080") as (display, xvfb):
        env = dict(os.environ, DISPLAY=display)
        windows = []  # its window, found once: its title changes with its delay

        def start():
            return subprocess.Popen(["xzoom", "-mag", "1", "-x", "-source", "480x270+480+405"],
                                    env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def shown():
            windows[:] = subprocess.run(["xdotool", "search", "--name", "^xzoom"], env=env,
                                        capture_output=True, text=True).stdout.split()
            return windows

        with running(start, ready=shown, stop=lambda p: p.terminate(), xvfb=xvfb,
                     timeout=10) as xzoom:
            if not xzoom:
                return None
            time.sleep(0.5)  # until it reads its keys
            for _ in range(case.xzoom_presses):
                subprocess.run(["xdotool", "key", "--window", windows[0], "d"], env=env,
                               capture_output=True)
                time.sleep(0.2)
            time.sleep(3)  # as the program is given
            span = xzoom.sample(lambda: False, seconds)
            delay = xzoom_delay_ms(xzoom.pid)
            figures.delays.append(f"{delay} ms" if delay is not None else "?")
            return span


def measure_peer(seconds, rounds):
    figures = PeerFigures(seconds, rounds)
    for case in PEER_CASES:
        case.spans.clear()
    for round_ in range(1, rounds + 1):
        for case in PEER_CASES:
            log(f"peer table, round {round_} of {rounds}: {case.label}, {case.rate} a second "
                f"({seconds} s)")
            if case.xzoom_presses:
                case.spans.append(peer_xzoom(case, seconds, figures))
            else:
                run = process_bench("run", EXE, PROGRAM, seconds, case.rate * 100, case.entire)
                case.spans.append(run.span)
                figures.view = run.report.get("view", figures.view)
    wine.reg_delete_tree(SETTING_KEY)
    return figures


def print_peer_table(figures, idle):
    print(f"\nSide by side with xzoom ({figures.rounds} rounds of {figures.seconds} s per case, "
          "one figure a round; percent of one core):\n")
    print("| program | refreshes/s | the program | wineserver | other Wine processes | X server "
          "| all together |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for case in PEER_CASES:
        vellora = not case.xzoom_presses

        def column(value):
            return " / ".join(value(s) if s else "-" for s in case.spans)
        cells = [column(lambda s: f"{s.program:.2f}"),
                 column(lambda s: f"{s.wineserver:.2f}" if vellora else "-"),
                 column(lambda s: f"{s.others:.2f}" if vellora else "-"),
                 column(lambda s: f"{s.xvfb:.2f}"),
                 column(lambda s: f"{s.program + s.wineserver + s.others + s.xvfb:.2f}")]
        print(f"| {case.label} | {case.rate} | " + " | ".join(cells) + " |")
    print("\nxzoom's area: 480x270 at (480, 405), on a 1920x1080 X display of its own; the program "
          "on Wine's 1920x1080 desktop on its own X display, its view "
          f"{figures.view or '(unknown)'}.")
    print(f"xzoom's delay between copies as traced after each run: "
          f"{', '.join(figures.delays) or '?'}.")
    print(f"Wine and X at rest before: {idle}.")


# --- against another revision's program -------------------------------------------

# Wine's 1920x1080 desktop puts the default view at 480x270 at (960, 405),
# reflecting the area of its own size on its left: the picture fills that
# area, and the cursor stays in its middle, so every refresh around the cursor
# has something to copy.
REFLECTED = (480, 405, 480, 270)
CURSOR = (720, 540)
SETTLE_SECONDS = 3
LOCK_SECONDS = 3


@dataclass
class AgainstRun:
    """One run of a build; CPU in percent of one core."""
    program: float
    wineserver: float
    xvfb: float
    wakeups: float  # timer messages dispatched a refresh
    pixels: float  # copied onto the view a refresh
    share: float  # of the view a refresh copies, percent
    rate: float  # refreshes a second
    after_lock: int | None  # copies in LOCK_SECONDS after the lock message; None: no window

    @property
    def program_and_x(self):
        return self.program + self.xvfb


@dataclass(frozen=True)
class Row:
    title: str
    figure: str  # the AgainstRun field
    decimals: int
    ratio: bool = False  # whether the pairs' ratios are shown


AGAINST_ROWS = (
    Row("the program, % of one core", "program", 2, ratio=True),
    Row("wineserver, % of one core", "wineserver", 2, ratio=True),
    Row("Xvfb, % of one core", "xvfb", 2, ratio=True),
    Row("the program + Xvfb, % of one core", "program_and_x", 2, ratio=True),
    Row("timer wake-ups a refresh", "wakeups", 3, ratio=True),
    Row("pixels copied a refresh", "pixels", 0, ratio=True),
    Row("share of the picture a refresh copies, %", "share", 1),
    Row("refreshes a second", "rate", 2),
    Row(f"copies in {LOCK_SECONDS} s after the lock message", "after_lock", 1),
)


@dataclass
class Pair:
    """A round's two runs, back to back; None for a run that yielded nothing."""
    old: AgainstRun | None  # REV's
    new: AgainstRun | None  # this tree's


@dataclass
class AgainstConfig:
    label: str
    rate: int  # hundredths a second
    entire: int
    pairs: list = field(default_factory=list)  # a Pair a round


AGAINST_CONFIGS = (
    AgainstConfig("50 refreshes/s, defaults otherwise (whole every 10th)", 5000, 10),
    AgainstConfig("20 refreshes/s, every refresh whole", 2000, 1),
)


def against_run(exe, config, seconds):
    """A build's program with the settings seeded, its copies and timer
    messages logged by the hook DLL; None when its process or its copies
    were not found."""
    seed_settings(config.rate, config.entire)
    log_path = BUILD / "bench-against-copies.log"
    log_path.unlink(missing_ok=True)
    xdotool("mousemove", *CURSOR)
    env = dict(wine.env, VELLORA_HOOK_COPY_LOG=winpath(log_path))
    with running(lambda: wine.start(exe, env=env), PROGRAM, stop=stop_vellora,
                 ready=lambda: copies(read_events(log_path)), timeout=60) as program:
        if not program:
            return None
        time.sleep(SETTLE_SECONDS)
        first = len(read_events(log_path))
        span = program.sample(lambda: False, seconds)
        events = read_events(log_path)[first:]
        after_lock = None
        if wine.post(PICTURE, "Vellora", WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK):
            posted = len(read_events(log_path))
            time.sleep(LOCK_SECONDS)
            after_lock = len(copies(read_events(log_path)[posted:]))
    shown = [e for e in copies(events) if e.view_width * e.view_height > 0]
    if not shown:
        return None
    return AgainstRun(
        span.program, span.wineserver, span.xvfb,
        wakeups=sum(e.kind == "timer" for e in events) / len(shown),
        pixels=statistics.fmean(e.width * e.height for e in shown),
        share=100 * statistics.fmean(e.width * e.height / (e.view_width * e.view_height)
                                     for e in shown),
        rate=len(shown) / span.seconds, after_lock=after_lock)


def measure_against(rev, old_exe, seconds, rounds):
    global missing
    log(f"a picture in the reflected area {' '.join(map(str, REFLECTED))}, the cursor at {CURSOR}")
    picture = wine.start(PICTURE, *map(str, REFLECTED))
    time.sleep(2)
    builds = {"old": (old_exe, f"{rev}'s"), "new": (EXE, "this tree's")}
    try:
        for round_ in range(1, rounds + 1):
            # Back to back, each going first in every other round, so that
            # neither always meets the display as the other left it.
            order = ("old", "new") if round_ % 2 else ("new", "old")
            for config in AGAINST_CONFIGS:
                pair = {}
                for build in order:
                    exe, whose = builds[build]
                    log(f"round {round_} of {rounds}: {config.label}, {whose} program "
                        f"({seconds} s)")
                    pair[build] = against_run(exe, config, seconds)
                    if not pair[build] or pair[build].after_lock is None:
                        missing = True
                config.pairs.append(Pair(**pair))
    finally:
        picture.kill()
        picture.wait()
        wine.reg_delete_tree(SETTING_KEY)


def spread(values, decimals):
    """The mean of the values, and the lowest and highest in brackets."""
    f = f"{{:.{decimals}f}}"
    return f"{f.format(statistics.fmean(values))} ({f.format(min(values))}-{f.format(max(values))})"


def print_against_table(rev, seconds, rounds, idle):
    here = subprocess.run(["git", "-C", ROOT, "rev-parse", "--short=7", "HEAD"],
                          capture_output=True, text=True).stdout.strip()
    if subprocess.run(["git", "-C", ROOT, "diff", "--quiet", "HEAD", "--"]).returncode:
        here += " with changes"
    for config in AGAINST_CONFIGS:
        print(f"\n{config.label}: mean (lowest-highest) of {rounds} runs of {seconds} s each; "
              "the ratio: median (lowest-highest) of the rounds' back-to-back pairs:\n")
        print(f"| | {rev} | this tree ({here}) | this tree / {rev} |")
        print("|---|---:|---:|---:|")
        for row in AGAINST_ROWS:
            cells = []
            for side in ("old", "new"):
                runs = [getattr(pair, side) for pair in config.pairs]
                values = [getattr(run, row.figure) for run in runs
                          if run and getattr(run, row.figure) is not None]
                cell = spread(values, row.decimals) if values else "(not found)"
                if values and len(values) < rounds:
                    cell += f" ({len(values)} of {rounds} runs)"
                cells.append(cell)
            ratios = [getattr(pair.new, row.figure) / getattr(pair.old, row.figure)
                      for pair in config.pairs
                      if row.ratio and pair.old and pair.new and getattr(pair.old, row.figure)]
            median = (f"{statistics.median(ratios):.2f} ({min(ratios):.2f}-{max(ratios):.2f})"
                      if ratios else "")
            print(f"| {row.title} | {cells[0]} | {cells[1]} | {median} |")
    print(f"\nBoth on Wine's 1920x1080 desktop with the settings seeded alike, back to back "
          f"({rev} first in odd rounds, second in even ones), {SETTLE_SECONDS} s after the first "
          f"copy; the cursor at {CURSOR}, inside the reflected area {REFLECTED[2]}x{REFLECTED[3]} "
          f"at ({REFLECTED[0]}, {REFLECTED[1]}), which the test picture fills. A wake-up is a "
          "timer message the program's loop dispatched, a copy one onto the layered view (hook "
          "DLL); the lock message (WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK) posted once to the window "
          "titled Vellora.")
    print(f"Wine and X at rest before: {idle}.")


# ----------------------------------------------------------------------------------

def idle_cost():
    log("Wine and X at rest over 10 s")
    meter = CpuMeter(wineserver=[WINESERVER], xvfb=[XVFB])
    time.sleep(10)
    cpu, _ = meter.read()
    return f"wineserver {cpu['wineserver']:.2f}%, Xvfb {cpu['xvfb']:.2f}% of one core"


def numbers(given, *defaults):
    """The numbers given on the command line, each one not given its default."""
    return [int(given[i]) if i < len(given) else d for i, d in enumerate(defaults)]


def main(args):
    # Windows' timer tick, put back for the programs that ask for it in their
    # environment (VELLORA_HOOK_TICK), and the copies onto the view counted
    # (VELLORA_HOOK_COPY_LOG): the hook DLL of the end-to-end suite.
    hook = wine.start(PICTURE, "--windows-rules", winpath(WINDOWS_RULES))
    try:
        if args[:1] == ["--against"]:
            rev, old_exe = args[1], Path(args[2])
            seconds, rounds = numbers(args[3:], 20, 3)
            idle = idle_cost()
            measure_against(rev, old_exe, seconds, rounds)
            print_against_table(rev, seconds, rounds, idle)
        elif args[:1] == ["--peer"]:
            seconds, rounds = numbers(args[1:], 20, 3)
            idle = idle_cost()
            print_peer_table(measure_peer(seconds, rounds), idle)
        else:
            calls, seconds = numbers(args, 250, 30)
            log(f"refresh times ({calls} calls per figure; takes a few minutes)")
            table = refresh_table(calls)
            idle = idle_cost()
            programs = measure_programs(seconds)
            peer = measure_peer(20, 3)
            print_program_tables(table, seconds, programs, idle)
            print_peer_table(peer, idle)
    finally:
        hook.kill()
        hook.wait()
    if missing:
        log("some figures could not be taken: see the cells marked (not found) or "
            "(no copies counted)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
