"""Vellora as installed for a user, shared by scripts/release_check.sh and
scripts/windows_job.py: its registry keys, the user's folders, the uninstall
entry's command line, and the upgrade over a running copy as winget runs it.
Python's standard library only, as the Windows job runs it on Windows; elsewhere
every Windows program runs through wine, on the caller's DISPLAY and WINEPREFIX.

  vellora_install.py keys
      prints the settings key and the uninstall entry's key, one a line
  vellora_install.py upgrade <installer> [--probe <release_probe.exe>] [--limited]
      installs over a running copy of the installed Vellora, then runs the
      entry's QuietUninstallString over the copy the installer started again;
      prints each check, exits 1 if any failed. With the probe the copy is
      moved by it and the installer runs through it (--limited: as a standard
      user); without, as the Windows job does it.
"""
import os
import subprocess
import sys
import tempfile
import time

WINDOWS = os.name == "nt"
SETTINGS_KEY = r"HKCU\Software\Korvane\Vellora32"
WINDOW_KEY = SETTINGS_KEY + r"\Setting\Window"
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vellora"
results = {"passed": 0, "failed": 0}


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    results["passed" if ok else "failed"] += 1
    return ok


def win(cmd):
    return cmd if WINDOWS else ["wine"] + cmd


def _winepath(flag, path):
    return subprocess.run(["winepath", flag, path], capture_output=True, text=True,
                          check=True).stdout.strip()


def win_path(path):  # as Windows programs name it
    path = os.path.abspath(path)
    return path if WINDOWS else _winepath("-w", path)


def host_path(path):
    return path if WINDOWS else _winepath("-u", path)


def win_env(name):  # a variable of the user's Windows environment
    if WINDOWS:
        return os.environ.get(name, "")
    return subprocess.run(["wine", "cmd", "/c", f"echo %{name}%"], capture_output=True,
                          text=True, stdin=subprocess.DEVNULL).stdout.strip()


def run(cmd, timeout, **kw):  # the exit code, or None when it did not end in time
    try:
        return subprocess.run(win(cmd), stdin=subprocess.DEVNULL, timeout=timeout, **kw).returncode
    except subprocess.TimeoutExpired:
        return None


def reg_query(key, names):  # by reg.exe, which Windows and Wine both have
    out = subprocess.run(win(["reg", "query", key]), capture_output=True, text=True,
                         stdin=subprocess.DEVNULL).stdout
    rows = {r[0]: r[2].strip() for r in (line.split(None, 2) for line in out.splitlines())
            if len(r) == 3}
    return tuple(rows.get(name, "") for name in names)


def key_exists(key):
    return run(["reg", "query", key], 30, capture_output=True) == 0


def elevated():  # TokenElevationTypeFull, as the installer asks; Wine gives every process one
    if not WINDOWS:
        return True
    from ctypes import byref, c_int, c_void_p, windll
    token, kind, advapi = c_void_p(), c_int(), windll.advapi32
    return bool(advapi.OpenProcessToken(c_void_p(-1), 8, byref(token))
                and advapi.GetTokenInformation(token, 18, byref(kind), 4, byref(c_int()))
                and kind.value == 2)


def place(new=None):  # the mirror's stored place, after storing `new`
    names = ("Left", "Top", "Right", "Bottom")
    for name, value in zip(names, new or ()):
        run(["reg", "add", WINDOW_KEY, "/v", name, "/t", "REG_DWORD", "/d", str(value), "/f"], 30,
            stdout=subprocess.DEVNULL)
    return tuple(int(v, 0) if v else None for v in reg_query(WINDOW_KEY, names))


def split_command_line(line):
    """The arguments a Windows program gets from `line` (CommandLineToArgvW's rules:
    the program's name up to its closing quote, then 2n backslashes before a
    quote are n and the quote toggles quoting, 2n+1 are n and a literal quote)."""
    if line.startswith('"'):
        end = line.find('"', 1)
        end = len(line) if end < 0 else end
        args, rest = [line[1:end]], line[end + 1:]
    else:
        name, _, rest = line.partition(" ")
        args = [name]
    arg, quoted, slashes, started = "", False, 0, False
    for c in rest:
        if c == "\\":
            slashes += 1
            continue
        if c == '"':
            arg += "\\" * (slashes // 2) + ('"' if slashes % 2 else "")
            quoted ^= slashes % 2 == 0
        elif c in " \t" and not quoted:
            if started or slashes:
                args.append(arg + "\\" * slashes)
            arg, started, slashes = "", False, 0
            continue
        else:
            arg += "\\" * slashes + c
        slashes, started = 0, True
    return args + ([arg + "\\" * slashes] if started or slashes else [])


def installed_folder():  # Windows' name of it, from the uninstall entry
    return reg_query(UNINSTALL_KEY, ["InstallLocation"])[0]


def shortcut():  # the Start-menu shortcut the installer makes
    return host_path(win_env("APPDATA") + r"\Microsoft\Windows\Start Menu\Programs\Vellora.lnk")


def gone(path, seconds=10):  # the uninstaller's last step may trail its end by a moment
    deadline = time.monotonic() + seconds
    while os.path.exists(path) and time.monotonic() < deadline:
        time.sleep(0.2)
    return not os.path.exists(path)


class Probe:
    """packaging/release_probe.cpp: runs programs and watches the mirror as
    Windows sees them. Its output goes through a file: a Vellora that an
    installer starts again inherits the probe's handles under Wine."""

    def __init__(self, exe):
        self.exe, self.folder = exe, os.path.dirname(os.path.abspath(exe))

    def start(self, *args):  # runs beside the next step
        out = tempfile.NamedTemporaryFile("w+b", dir=self.folder, suffix=".txt", delete=False)
        return subprocess.Popen(win([self.exe] + list(args)), stdin=subprocess.DEVNULL,
                                stdout=out, stderr=subprocess.DEVNULL), out.name

    @staticmethod
    def said(started):  # name=value lines, the first of each name
        with open(started[1], "rb") as f:
            lines = f.read().decode("utf-8", "replace").replace("\r", "").splitlines()
        facts = {}
        for name, _, value in (line.partition("=") for line in lines):
            facts.setdefault(name, value)
        return facts

    def running(self, *args):  # until it says running=yes or ends
        started = self.start(*args)
        for _ in range(150):
            if "running" in self.said(started) or started[0].poll() is not None:
                break
            time.sleep(0.2)
        return started

    def ended(self, started, timeout=60):
        try:
            started[0].wait(timeout)
        except subprocess.TimeoutExpired:
            started[0].kill()
            started[0].wait()
        facts = self.said(started)
        os.remove(started[1])
        return facts

    def run(self, *args):
        return self.ended(self.start("run", *args), 120).get("exit_code")


def upgrade_over_running_copy(setup, probe=None, limited=False):
    """An install over a running copy, then the entry's QuietUninstallString over
    the copy the installer started again, as winget upgrades and uninstalls.
    The installer starts a copy again only when it does not run elevated."""
    folder_w = installed_folder()
    if not folder_w:
        return check(False, "no uninstall entry names an install folder")
    exe_w = folder_w + "\\vellora.exe"
    restarts = limited or not elevated()
    # Stored elsewhere while it runs: the registry gets the copy's place back
    # only from a copy that stores its real place as it closes.
    at, elsewhere = (230, 160, 630, 460), (20, 30, 420, 330)
    if probe:
        copy = probe.running("watch", "--limited", exe_w, "345", "234")  # as a desktop starts it
        at = tuple(int(v) for v in probe.said(copy).get("rect", "0,0,0,0").split(","))
    else:  # Python cannot move a window under Wine: the place it starts at instead
        place(at)
        copy = subprocess.Popen(win([exe_w]), stdin=subprocess.DEVNULL)
        time.sleep(3)
    place(elsewhere)
    if probe:
        code = probe.run(*(["--limited"] if limited else []), win_path(setup), "/S")
        old = probe.ended(copy).get("exit_code")
    else:
        code = run([win_path(setup), "/S"], 60)
        try:
            old = copy.wait(15)
        except subprocess.TimeoutExpired:  # a running copy keeps the uninstaller out
            old = None
            copy.kill()
            copy.wait()
    check(str(code) == "0" and str(old) == "0" and place() == at,
          f"/S {'as a standard user ' if limited else ''}over it, as winget upgrades: exit code "
          f"{code}, the copy's {old}, its stored place {place()} where it was at {at}")

    again = {}
    if probe:
        copy = probe.running("watch")
        again = probe.said(copy)
        seen = f"{again.get('rect') or again.get('error')}, {again.get('elevation', '-')}"
        if restarts:
            check((again.get("rect"), again.get("elevation")) == (",".join(map(str, at)), "limited"),
                  f"the installer started it again where it was, limited: {seen}")
        else:
            check("running" not in again, f"elevated, the installer started no copy again ({seen})")
    else:
        time.sleep(3)  # the copy started again has read its place by now
    place(elsewhere)
    quiet = reg_query(UNINSTALL_KEY, ["QuietUninstallString"])[0]
    args = split_command_line(quiet)
    if probe:
        code = probe.run(*args) if quiet else None
        ended = probe.ended(copy)
        again = ended if "running" in again else {}
    else:  # as winget runs it; wine takes the arguments one by one
        code = run(quiet if WINDOWS else args, 120) if quiet else None
    folder, link = host_path(folder_w), shortcut()
    removed = {"the install folder": gone(folder), "the Start-menu shortcut": gone(link, 0),
               "the uninstall entry": not key_exists(UNINSTALL_KEY)}
    expected = at if restarts else elsewhere
    check(str(code) == "0" and again.get("exit_code", "0") == "0" and all(removed.values())
          and place() == expected,
          f"{quiet} over {'that copy' if restarts else 'no copy'}: exit code {code}"
          + (f", the copy's {again.get('exit_code')}" if again else "")
          + f"; still there: {[k for k, v in removed.items() if not v] or 'none'}; the place "
          f"stored as it closed {place()} (expected {expected})")


def main(argv):
    if argv == ["keys"]:
        print(SETTINGS_KEY, UNINSTALL_KEY, sep="\n")
        return 0
    if len(argv) < 2 or argv[0] != "upgrade":
        sys.exit(__doc__)
    probe = Probe(argv[argv.index("--probe") + 1]) if "--probe" in argv else None
    upgrade_over_running_copy(argv[1], probe, "--limited" in argv)
    return 1 if results["failed"] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
