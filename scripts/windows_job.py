#!/usr/bin/env python3
"""CI's Windows job: the Windows test programs and the release, tried as on Windows.

  windows_job.py <tests folder> <release folder> [--results <folder>]
      runs every test program that <tests folder>/tests.json lists, with its
      arguments, environment and time limit (GoogleTest's XML goes into the
      results folder, ./windows-job-results unless given); checks the
      release's SHA256SUMS; installs its installer silently for this user;
      starts the installed vellora.exe, checks that it still runs after 5 s and
      that taskkill without /F (which asks its windows to close) ends it with
      exit code 0 within 10 s; installs over a copy that runs at a stored place
      and runs the entry's QuietUninstallString over the copy started again
      (none when this job runs elevated, as the installer then starts none), as
      winget does (exit codes, places; folder, shortcut and entry gone). Exits
      non-zero on a failure.
  windows_job.py collect <build tree> <tests folder>
      (where the tests were built) fills <tests folder>: the programs of the
      tree's ctest tests, the files their command lines name, and tests.json.

On Windows the programs run directly; elsewhere through wine, on the caller's
DISPLAY and WINEPREFIX. It installs into and uninstalls from this user's
%LOCALAPPDATA%\\Programs\\Vellora, and refuses to start where Vellora is
installed already. It needs vellora_install.py beside it.
"""
import hashlib
import json
import os
import shutil
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

from vellora_install import (WINDOWS, check, host_path, results, run, upgrade_over_running_copy,
                             win, win_env, win_path)


def collect(tree, out):
    """ctest's own list of the tree's tests, so that none is left out or run otherwise."""
    listing = json.loads(subprocess.run(["ctest", "--test-dir", tree, "--show-only=json-v1"],
                                        capture_output=True, text=True, check=True).stdout)
    shutil.rmtree(out, ignore_errors=True)  # nothing left from an older tree
    os.makedirs(out)
    tests, copied = [], {}
    for t in listing["tests"]:
        props = {p["name"]: p["value"] for p in t.get("properties", [])}
        command = t["command"]
        while not command[0].lower().endswith(".exe"):  # the emulator (wine)
            command = command[1:]
        args = []
        for arg in command:
            if not os.path.isfile(arg):
                args.append(arg)
                continue
            name = os.path.basename(arg)
            if copied.setdefault(name, arg) != arg:
                sys.exit(f"two files named {name}: {copied[name]} and {arg}")
            shutil.copy2(arg, os.path.join(out, name))
            args.append({"file": name})
        env = dict(v.split("=", 1) for v in props.get("ENVIRONMENT", []))
        tests.append({"name": t["name"], "command": args, "environment": env,
                      "timeout": props.get("TIMEOUT", 1500)})  # ctest's default limit
    with open(os.path.join(out, "tests.json"), "w") as f:
        json.dump(tests, f, indent=1)
    print(f"collected {len(tests)} tests and {len(copied)} files into {out}")


def gtest_summary(path):  # (ran something and nothing failed, what it says)
    try:
        root = ET.parse(path).getroot()
    except (OSError, ET.ParseError):
        return False, "no GoogleTest XML"
    tests = int(root.get("tests", 0))
    bad = int(root.get("failures", 0)) + int(root.get("errors", 0))
    return tests > 0 and bad == 0, f"{tests} tests, {bad} failed"


def run_tests(folder, out):
    with open(os.path.join(folder, "tests.json")) as f:
        tests = json.load(f)
    check(len(tests) > 0, f"{len(tests)} test programs listed in {folder}")
    folder_w, out_w = win_path(folder), win_path(out)
    for t in tests:
        xml = os.path.join(out, t["name"] + ".xml")
        if os.path.exists(xml):
            os.remove(xml)
        cmd = [folder_w + "\\" + a["file"] if isinstance(a, dict) else a for a in t["command"]]
        cmd.append(f"--gtest_output=xml:{out_w}\\{t['name']}.xml")
        print(f"-- {t['name']}", flush=True)
        start = time.monotonic()
        code = run(cmd, t["timeout"], cwd=folder, env=dict(os.environ, **t["environment"]))
        ok, summary = gtest_summary(xml)
        ended = f"exit code {code}" if code is not None else f"no end within {t['timeout']:.0f} s"
        check(code == 0 and ok,
              f"{t['name']}: {ended}, {summary} ({time.monotonic() - start:.0f} s)")


def verify_sums(release):  # the installer, if the checksums hold
    sums = os.path.join(release, "SHA256SUMS")
    if not check(os.path.isfile(sums), f"{sums} is there"):
        return None
    setup, before = None, results["failed"]
    with open(sums) as f:
        entries = [line.split(None, 1) for line in f if line.strip()]
    for digest, name in entries:
        name = name.strip().lstrip("*")
        path = os.path.join(release, name)
        try:
            with open(path, "rb") as g:
                actual = hashlib.sha256(g.read()).hexdigest()
        except OSError:
            actual = "missing"
        if check(actual == digest.lower(), f"SHA256SUMS: {name} ({actual})"):
            setup = path if name.endswith("-setup.exe") else setup
    check(setup is not None, "SHA256SUMS vouches for an installer")
    return setup if results["failed"] == before else None


def try_install(setup):
    folder_w = win_env("LOCALAPPDATA") + "\\Programs\\Vellora"
    folder = host_path(folder_w)
    if not check(not os.path.exists(folder), f"no Vellora installed yet in {folder_w}"):
        return
    code = run([win_path(setup), "/S"], 120)
    if not check(code == 0 and os.path.isfile(os.path.join(folder, "vellora.exe")),
                 f"{os.path.basename(setup)} /S: exit code {code}, vellora.exe installed"):
        return
    vellora = subprocess.Popen(win([folder_w + "\\vellora.exe"]), stdin=subprocess.DEVNULL)
    time.sleep(5)
    if check(vellora.poll() is None, "the installed vellora.exe still runs after 5 s"):
        # Under Wine the process id here is not the Windows one; the name
        # finds every vellora.exe of the prefix, which the test command
        # keeps to itself.
        who = ["/PID", str(vellora.pid)] if WINDOWS else ["/IM", "vellora.exe"]
        start = time.monotonic()
        asked = run(["taskkill"] + who, 10)
        try:
            code = vellora.wait(max(0.0, 10 - (time.monotonic() - start)))
        except subprocess.TimeoutExpired:
            code = None
        check(asked == 0 and code == 0,
              f"taskkill {' '.join(who)}: taskkill's exit code {asked}, vellora.exe's "
              + (f"{code} after {time.monotonic() - start:.1f} s" if code is not None
                 else "none: it still ran after 10 s"))
    if vellora.poll() is None:  # a running copy keeps the installer and uninstaller out
        vellora.kill()
        vellora.wait()
    upgrade_over_running_copy(setup)


def main(argv):
    if len(argv) == 3 and argv[0] == "collect":
        return collect(argv[1], argv[2])
    out = "windows-job-results"
    if len(argv) == 4 and argv[2] == "--results":
        out = argv[3]
    elif len(argv) != 2:
        sys.exit(__doc__)
    os.makedirs(out, exist_ok=True)
    print("-- the test programs", flush=True)
    run_tests(argv[0], out)
    print("-- the release", flush=True)
    setup = verify_sums(argv[1])
    if setup:
        try_install(setup)
    print(f"windows_job: {results['passed']} passed, {results['failed']} failed")
    return 1 if results["failed"] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
