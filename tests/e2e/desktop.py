"""The outside of the desktop, as a user meets it: the X screen's pixels, the
mouse and keyboard (xdotool), programs started under Wine, and the Wine
registry. Nothing here looks inside Vellora."""

import ctypes
import ctypes.util
import os
import re
import subprocess
import sys
import time

XDOTOOL = "/usr/bin/xdotool"
IMPORT = "/usr/bin/import"

# Where Vellora keeps its settings, named once for every script that seeds or reads them.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from vellora_install import SETTINGS_KEY as APP_KEY  # noqa: E402
SETTING_KEY = APP_KEY + r"\Setting"
WINDOW_KEY = SETTING_KEY + r"\Window"
# The program's default settings (settings/setting.h), by their names under SETTING_KEY.
DEFAULT_SETTINGS = {"Direction": 0, "Edge": 4, "ThinEdge": 0, "TransparentEdge": 50,
                    "RefreshRate": 1000, "EntireRefreshRate": 10, "AroundCursorDistance": 50}

# Messages that Wine.post sends, by the platform's names.
WM_CLOSE = 0x0010
WM_SYSCOMMAND = 0x0112
SC_RESTORE = 0xF120
WM_WTSSESSION_CHANGE = 0x02B1
WTS_SESSION_LOCK = 0x7


class _XImage(ctypes.Structure):
    # The leading fields of Xlib's XImage; the rest is never touched here.
    _fields_ = [
        ("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
        ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
        ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
        ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
        ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
        ("bits_per_pixel", ctypes.c_int),
    ]


class Image:
    """Pixels of a screen rectangle, read as (r, g, b) by screen position."""

    def __init__(self, left, top, width, height, data, stride):
        self.left, self.top, self.width, self.height = left, top, width, height
        self._data, self._stride = data, stride

    def contains(self, x, y):
        return (self.left <= x < self.left + self.width and
                self.top <= y < self.top + self.height)

    def pixel(self, x, y):
        i = (y - self.top) * self._stride + (x - self.left) * 4
        d = self._data
        return (d[i + 2], d[i + 1], d[i])  # stored as B, G, R, X


class Screen:
    """Reads the X screen directly: a whole screen in a few milliseconds, so a
    test can watch the mirror change from one refresh to the next."""

    def __init__(self, display):
        self._x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self._x.XOpenDisplay.restype = ctypes.c_void_p
        self._x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self._x.XDefaultRootWindow.restype = ctypes.c_ulong
        self._x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self._x.XGetImage.restype = ctypes.POINTER(_XImage)
        self._x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                      ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self._x.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
        self._x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self._dpy = self._x.XOpenDisplay(display.encode())
        if not self._dpy:
            raise RuntimeError("cannot open display " + display)
        self._root = self._x.XDefaultRootWindow(self._dpy)

    def close(self):
        if self._dpy:
            self._x.XCloseDisplay(self._dpy)
            self._dpy = None

    def grab(self, left=0, top=0, width=1920, height=1080):
        ZPIXMAP, ALL_PLANES = 2, 0xFFFFFFFF
        img = self._x.XGetImage(self._dpy, self._root, left, top, width, height, ALL_PLANES, ZPIXMAP)
        if not img:
            raise RuntimeError("XGetImage failed")
        try:
            im = img.contents
            if im.bits_per_pixel != 32:
                raise RuntimeError("expected a 24-bit screen stored in 32 bits per pixel")
            size = im.bytes_per_line * im.height
            data = bytes(ctypes.cast(im.data, ctypes.POINTER(ctypes.c_ubyte * size)).contents)
            return Image(left, top, width, height, data, im.bytes_per_line)
        finally:
            self._x.XDestroyImage(img)

    def pixel(self, x, y):
        return self.grab(x, y, 1, 1).pixel(x, y)


def save_png(path, left, top, width, height):
    """A screenshot of a screen rectangle, as a user would take it."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    subprocess.run([IMPORT, "-window", "root", "-crop", f"{width}x{height}+{left}+{top}",
                    "+repage", path], check=True)


def xdotool(*args):
    out = subprocess.run([XDOTOOL, *map(str, args)], check=False, capture_output=True, text=True)
    return out.stdout


def window_ids(name):
    """X windows whose title is exactly `name`, visible ones only."""
    out = xdotool("search", "--onlyvisible", "--name", "^" + re.escape(name) + "$")
    return [int(w) for w in out.split()]


def window_ids_all(name):
    """X windows whose title is exactly `name`, shown or not."""
    out = xdotool("search", "--name", "^" + re.escape(name) + "$")
    return [int(w) for w in out.split()]


def geometry(window):
    """(left, top, right, bottom) of an X window."""
    out = xdotool("getwindowgeometry", "--shell", window)
    v = dict(line.split("=", 1) for line in out.split() if "=" in line)
    x, y, w, h = int(v["X"]), int(v["Y"]), int(v["WIDTH"]), int(v["HEIGHT"])
    return (x, y, x + w, y + h)


def wait_for(condition, timeout, interval=0.05, what="condition"):
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


class Wine:
    """One private Wine prefix: programs, the registry, the server."""

    def __init__(self, prefix, env_extra=None):
        self.prefix = prefix
        self.env = dict(os.environ, WINEPREFIX=prefix, WINEARCH="win64", WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env.update(env_extra or {})

    def run(self, *args, check=True, env=None):
        return subprocess.run(["wine", *args], env=env or self.env, check=check,
                              stdin=subprocess.DEVNULL, capture_output=True, text=True,
                              errors="replace")

    def start(self, *args, env=None, stdout=None, stderr=None):
        return subprocess.Popen(["wine", *args], env=env or self.env, stdin=subprocess.DEVNULL,
                                stdout=stdout if stdout is not None else subprocess.DEVNULL,
                                stderr=stderr if stderr is not None else subprocess.DEVNULL)

    def post(self, picture, target, message, wparam=0):
        """Posts a message to the window of class, else title, `target`
        (`picture`: vellora_picture.exe); whether a window took it."""
        return self.run(picture, "--post", target, str(message), str(wparam),
                        check=False).returncode == 0

    def boot(self):
        quiet = dict(env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL)
        # The server first, detached from our pipes, so nothing started later
        # holds them open; it stays up for the run.
        subprocess.run(["wineserver", "-p"], check=True, **quiet)
        subprocess.run(["wineboot", "-i"], check=True, **quiet)
        self.reg_add(r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", 0)

    def shutdown(self):
        subprocess.run(["wineserver", "-k"], env=self.env, check=False, capture_output=True)

    def reg(self, *args):
        """`wine reg ...`; a failure is tried again twice, since a start of
        reg.exe can fail now and then while a killed program is cleaned up."""
        for attempt in range(3):
            out = self.run("reg", *args, check=False)
            if out.returncode == 0:
                return out
            print(f"(wine reg {args[0]} failed with {out.returncode}: {out.stderr.strip()}; "
                  "trying again)", file=sys.stderr)
            time.sleep(0.5)
        raise RuntimeError(f"wine reg {' '.join(args)} failed with {out.returncode}: "
                           f"{out.stdout.strip()} {out.stderr.strip()}")

    def reg_add(self, key, name, value):
        self.reg("add", key, "/v", name, "/t", "REG_DWORD", "/d", str(value), "/f")

    def reg_delete_tree(self, key):
        self.run("reg", "delete", key, "/f", check=False)

    def reg_values(self, key):
        """{name: (type, value)} of the values directly under `key`; {} if it is missing."""
        out = self.run("reg", "query", key, check=False).stdout
        values = {}
        for line in out.splitlines():
            m = re.match(r"^\s{4}(\S+)\s{4}(REG_\w+)\s{4}(.*)$", line)
            if m:
                name, kind, text = m.groups()
                values[name] = (kind, int(text, 16) if kind == "REG_DWORD" else text)
        return values
