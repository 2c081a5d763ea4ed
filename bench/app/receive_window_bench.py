#!/usr/bin/env python3
"""Receive speed of the real program, measured as a user meets it.

Runs build/app/kesu on Qt under a private Xvfb server with a pseudo-terminal as COM1 (through
KESU_PORT_DIR), and picocom logging the same stream to a file, in one run. The far end of the
cable writes as fast as the reader takes bytes. Everything is observed from outside, through the
X server: clicks and keys go in through XTEST, the counters and boxes are watched as pixels, and
what the boxes hold is read back with a copy to the clipboard. Nothing in the program knows it is
being measured.

Measures:
  throughput   bytes a second until 接收计数 shows the last byte, hex and text display, against
               picocom writing the same stream to a log file; the receive box is then copied and
               compared with the expected display, byte for byte
  latency      during a text flood, a key typed into 发送框 until its glyph is on the screen, and
               a press on 清空收接按钮 until the button is drawn pressed (p50, p99, max); once
               the flood is over, the box must hold less than was received
  memory       RSS growth per received byte after --rss-mb of hex and of text
  idle cost    CPU share of the program while it receives 11.5 KB/s of text (115200 baud), and
               of picocom logging the same, with the far end writing 100 and 10 times a second

Usage: bench/app/receive_window_bench.py [--kesu build/app/kesu] [--mib 8] [--rss-mb 200]
"""

import argparse
import ctypes
import os
import pty
import random
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import tty

# Where the units stand in the main window (client coordinates), as the form places them.
PORT_LIST = (69, 25, 75, 25)
PORT_BUTTON = (16, 165, 125, 25)
RECEIVED_COUNT = (69, 332, 73, 25)
RECEIVE_BOX = (165, 25, 555, 218)
HEX_DISPLAY = (165, 249, 76, 20)
CLEAR_RECEIVE = (560, 249, 70, 25)
SEND_BOX = (165, 306, 555, 75)


# The far end of the cable: writes a file into a descriptor, as fast as it is taken or at a rate.
FEEDER = r"""
import os, sys, time
data = open(sys.argv[1], "rb").read()
fd, rate, writes = int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4])
view, pos, start = memoryview(data), 0, time.monotonic()
while pos < len(view):
    if rate:
        due = start + pos / rate
        now = time.monotonic()
        if due > now:
            time.sleep(due - now)
        pos += os.write(fd, view[pos:pos + max(1, int(rate / writes))])
    else:
        pos += os.write(fd, view[pos:pos + 65536])
"""


def centre(r):
    return r[0] + r[2] // 2, r[1] + r[3] // 2


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_char)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


class Screen:
    """The X server's side of the user: pixels out, pointer and keys in."""

    def __init__(self, display):
        self.x = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XGetImage.restype = ctypes.POINTER(XImage)
        self.x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                     ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x.XFree.argtypes = [ctypes.c_void_p]
        self.x.XFlush.argtypes = [ctypes.c_void_p]
        self.x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                                   ctypes.c_int, ctypes.c_ulong]
        self.xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                   ctypes.c_ulong]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                ctypes.c_ulong]
        self.dpy = None
        for _ in range(50):
            self.dpy = self.x.XOpenDisplay(display.encode())
            if self.dpy:
                break
            time.sleep(0.1)
        if not self.dpy:
            raise RuntimeError("cannot open display " + display)
        self.root = self.x.XDefaultRootWindow(self.dpy)
        self.origin = (0, 0)

    def grab(self, r):
        img = self.x.XGetImage(self.dpy, self.root, self.origin[0] + r[0], self.origin[1] + r[1],
                               r[2], r[3], 0xFFFFFFFF, 2)
        if not img:
            return b""
        size = img.contents.bytes_per_line * img.contents.height
        data = ctypes.string_at(img.contents.data, size)
        self.x.XFree(img.contents.data)
        self.x.XFree(img)
        return data

    def click(self, r):
        px, py = centre(r)
        self.xtst.XTestFakeMotionEvent(self.dpy, -1, self.origin[0] + px, self.origin[1] + py, 0)
        self.xtst.XTestFakeButtonEvent(self.dpy, 1, 1, 0)
        self.xtst.XTestFakeButtonEvent(self.dpy, 1, 0, 0)
        self.x.XFlush(self.dpy)

    def press(self, r):
        px, py = centre(r)
        self.xtst.XTestFakeMotionEvent(self.dpy, -1, self.origin[0] + px, self.origin[1] + py, 0)
        self.xtst.XTestFakeButtonEvent(self.dpy, 1, 1, 0)
        self.x.XFlush(self.dpy)

    def release(self):
        self.xtst.XTestFakeButtonEvent(self.dpy, 1, 0, 0)
        self.x.XFlush(self.dpy)

    def key(self, keysym, ctrl=False):
        code = self.x.XKeysymToKeycode(self.dpy, keysym)
        control = self.x.XKeysymToKeycode(self.dpy, 0xFFE3)
        if ctrl:
            self.xtst.XTestFakeKeyEvent(self.dpy, control, 1, 0)
        self.xtst.XTestFakeKeyEvent(self.dpy, code, 1, 0)
        self.xtst.XTestFakeKeyEvent(self.dpy, code, 0, 0)
        if ctrl:
            self.xtst.XTestFakeKeyEvent(self.dpy, control, 0, 0)
        self.x.XFlush(self.dpy)

    def copy_of(self, r, display):
        """What the control at `r` holds, read as a user would: select all, copy, paste."""
        self.click(r)
        time.sleep(0.05)
        self.key(ord("a"), ctrl=True)
        self.key(ord("c"), ctrl=True)
        time.sleep(0.05)
        out = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True,
                             env=dict(os.environ, DISPLAY=display), timeout=600)
        return out.stdout.decode("utf-8", "replace")


def wait_until(cond, seconds=30.0, step=0.01):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if cond():
            return True
        time.sleep(step)
    return False


def holds_open(pid, path):
    try:
        for fd in os.listdir(f"/proc/{pid}/fd"):
            try:
                if os.readlink(f"/proc/{pid}/fd/{fd}") == path:
                    return True
            except OSError:
                pass
    except OSError:
        pass
    return False


def rss_bytes(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) * 1024
    return 0


def cpu_seconds(pid):
    """CPU time of all the threads of a process, in nanosecond steps (clock ticks are too coarse
    for a process that takes a few percent of a core)."""
    total = 0
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                total += int(f.read().split()[0])
        except OSError:
            pass  # a thread that has just ended
    return total / 1e9


class Line:
    """A pseudo-terminal: the slave is the port, the master the device at the far end."""

    def __init__(self):
        self.master, slave = os.openpty()
        self.path = os.ttyname(slave)
        tty.setraw(slave)
        os.close(slave)
        self.sent_at = None
        self.done = threading.Event()

    def feed(self, data, rate=None, writes=100):
        """Writes `data` from a process of its own (so that this one's threads do not slow it),
        as fast as the reader takes it or at `rate` bytes/s in `writes` writes a second."""
        src = tempfile.NamedTemporaryFile(prefix="kesu-bench-stream-", delete=False)
        src.write(data)
        src.close()
        self.feeder = subprocess.Popen([sys.executable, "-c", FEEDER, src.name, str(self.master),
                                        str(rate or 0), str(writes)], pass_fds=[self.master])
        self.stream_file = src.name

        def reap():
            self.feeder.wait()
            os.remove(self.stream_file)
            self.sent_at = time.monotonic()
            self.done.set()
        threading.Thread(target=reap, daemon=True).start()

    def close(self):
        os.close(self.master)


class Kesu:
    def __init__(self, exe, display, line):
        self.ports = tempfile.mkdtemp(prefix="kesu-bench-ports-")
        os.symlink(line.path, os.path.join(self.ports, "COM1"))
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", KESU_PORT_DIR=self.ports, QT_XCB_NO_XI2="1")
        self.proc = subprocess.Popen([exe], env=env, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        self.line = line

    def window_origin(self, display):
        env = dict(os.environ, DISPLAY=display)
        out = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid",
                              str(self.proc.pid)], capture_output=True, env=env, timeout=30)
        win = out.stdout.split()[0].decode()
        geo = subprocess.run(["xdotool", "getwindowgeometry", "--shell", win],
                             capture_output=True, env=env, timeout=10).stdout.decode()
        vals = dict(line.split("=") for line in geo.split())
        return int(vals["X"]), int(vals["Y"])

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        shutil.rmtree(self.ports, ignore_errors=True)


def start_kesu(args, display, scr, hex_display):
    line = Line()
    k = Kesu(args.kesu, display, line)
    scr.origin = k.window_origin(display)
    time.sleep(0.3)
    # Choose COM1 in the port list: the drop-down scans, Down and Return pick the first port.
    scr.click(PORT_LIST)
    time.sleep(0.4)
    scr.key(0xFF54)
    scr.key(0xFF0D)
    time.sleep(0.3)
    scr.click(PORT_BUTTON)
    if not wait_until(lambda: holds_open(k.proc.pid, line.path), 10):
        k.stop()
        raise RuntimeError("kesu did not open the pseudo-terminal")
    time.sleep(0.3)
    if hex_display:  # the display options are enabled once the port is open
        scr.click(HEX_DISPLAY)
        time.sleep(0.3)
    return k, line


def shown_count(scr, display):
    count = int(scr.copy_of(RECEIVED_COUNT, display).replace(",", "") or 0)
    # The focus leaves the counter again, so that its blinking caret is not taken for a change.
    scr.click(SEND_BOX)
    return count


def watch_until_shown(scr, display, k, line, total):
    """Seconds from the first byte until 接收计数 last changed, once it shows `total`."""
    last = scr.grab(RECEIVED_COUNT)
    changed = time.monotonic()
    while True:
        now_img = scr.grab(RECEIVED_COUNT)
        now = time.monotonic()
        if now_img != last:
            last, changed = now_img, now
        if line.done.is_set() and now - changed > 1.0:
            if shown_count(scr, display) == total:
                return changed
            last = scr.grab(RECEIVED_COUNT)
            changed = time.monotonic()
        if k.proc.poll() is not None:
            raise RuntimeError("kesu ended during the run")
        time.sleep(0.003)


def expected_display(data, hex_display):
    if hex_display:
        return "".join(f"{b:02X} " for b in data)
    return data.decode("ascii").replace("\r\n", "\n")


def text_stream(size, rng):
    """Lines of 20 to 100 printable characters ending in CR LF, drawn from a pool of lines so
    that hundreds of megabytes are made in seconds."""
    letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ,.;:-"
    pool = ["".join(rng.choice(letters) for _ in range(rng.randint(20, 100))).encode() + b"\r\n"
            for _ in range(4096)]
    out = bytearray()
    while len(out) < size:
        out += b"".join(rng.choices(pool, k=4096))
    return bytes(out[:size - 2] + b"\r\n")


def run_kesu(args, display, scr, data, hex_display, check=True):
    k, line = start_kesu(args, display, scr, hex_display)
    try:
        rss0 = rss_bytes(k.proc.pid)
        t0 = time.monotonic()
        line.feed(data)
        t1 = watch_until_shown(scr, display, k, line, len(data))
        rss1 = rss_bytes(k.proc.pid)
        exact = None
        if check:
            # A copy gives the line breaks as the bytes have them; compared as one kind.
            shown = scr.copy_of(RECEIVE_BOX, display).replace("\r\n", "\n")
            exact = shown.endswith(expected_display(data, hex_display))
        return len(data) / (t1 - t0), (rss1 - rss0) / len(data), exact
    finally:
        k.stop()
        line.close()


def run_picocom(data, rate=None, writes=100):
    """picocom logging `data` to a file. As fast as it takes it: bytes a second and whether the
    log is exact. At `rate`: the CPU share of picocom itself."""
    line = Line()
    log = tempfile.mktemp(prefix="kesu-bench-picocom-")
    pid, term = pty.fork()
    if pid == 0:
        os.execvp("picocom", ["picocom", "-q", "-b", "115200", "--nolock", "--logfile", log,
                              line.path])
    # picocom also writes what it receives to its terminal; a process of its own takes it.
    drain = subprocess.Popen(["cat"], stdin=term, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    try:
        wait_until(lambda: holds_open(pid, line.path), 10)
        time.sleep(0.2)
        if rate:
            line.feed(data, rate=rate, writes=writes)
            time.sleep(1.0)
            c0, t0 = cpu_seconds(pid), time.monotonic()
            line.done.wait()
            return (cpu_seconds(pid) - c0) / (time.monotonic() - t0), True
        t0 = time.monotonic()
        line.feed(data)
        wait_until(lambda: os.path.exists(log) and os.path.getsize(log) >= len(data), 600, 0.001)
        t1 = time.monotonic()
        with open(log, "rb") as f:
            exact = f.read() == data
        return len(data) / (t1 - t0), exact
    finally:
        os.kill(pid, signal.SIGTERM)
        os.waitpid(pid, 0)
        drain.kill()
        drain.wait()
        os.close(term)
        line.close()
        if os.path.exists(log):
            os.remove(log)


def percentile(values, p):
    s = sorted(values)
    return s[min(len(s) - 1, int(round(p / 100 * (len(s) - 1))))]


def run_latency(args, display, scr, rng):
    """During a text flood: a key typed into 发送框 until its glyph shows, and a press on
    清空收接按钮 until the button shows it pressed (the clear runs on the release, in the same
    turn of the window's loop). Under a flood the emptied box fills again at the next refresh,
    so whether the clicks took effect is checked once the flood is over: the box then holds less
    than was received."""
    k, line = start_kesu(args, display, scr, False)
    keys, clicks = [], []
    flood = text_stream(args.mib * 4 << 20, rng)
    try:
        line.feed(flood)
        time.sleep(1.0)
        for i in range(args.probes):
            if line.done.is_set():
                break
            scr.click(SEND_BOX)
            time.sleep(0.05)
            before = scr.grab(SEND_BOX)
            t0 = time.monotonic()
            scr.key(ord("x"))
            if wait_until(lambda: scr.grab(SEND_BOX) != before, 10, 0.0005):
                keys.append(time.monotonic() - t0)
            else:
                keys.append(float("inf"))
            time.sleep(rng.uniform(0.05, 0.15))
            up = scr.grab(CLEAR_RECEIVE)
            scr.press(CLEAR_RECEIVE)
            t0 = time.monotonic()
            if wait_until(lambda: scr.grab(CLEAR_RECEIVE) != up, 10, 0.0005):
                clicks.append(time.monotonic() - t0)
            else:
                clicks.append(float("inf"))
            scr.release()
            time.sleep(rng.uniform(0.05, 0.15))
        cleared = None
        if clicks and wait_until(line.done.is_set, 600):
            time.sleep(1.0)
            shown = scr.copy_of(RECEIVE_BOX, display).replace("\r\n", "\n")
            cleared = len(shown) < len(flood) - flood.count(b"\r\n")
    finally:
        k.stop()
        line.close()
    return keys, clicks, cleared


def run_idle(args, display, scr, rng, writes):
    k, line = start_kesu(args, display, scr, False)
    try:
        data = text_stream(11520 * args.idle_seconds, rng)
        line.feed(data, rate=11520, writes=writes)
        time.sleep(1.0)
        c0, t0 = cpu_seconds(k.proc.pid), time.monotonic()
        line.done.wait()
        c1, t1 = cpu_seconds(k.proc.pid), time.monotonic()
        return (c1 - c0) / (t1 - t0)
    finally:
        k.stop()
        line.close()


def start_xvfb():
    """A private X server on a display number nobody else uses (other servers on this machine
    may share the abstract socket namespace, so low numbers are avoided)."""
    for n in random.Random().sample(range(300, 900), 50):
        if os.path.exists(f"/tmp/.X{n}-lock") or os.path.exists(f"/tmp/.X11-unix/X{n}"):
            continue
        xvfb = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1024x768x24", "-nolisten",
                                 "tcp"], stderr=subprocess.DEVNULL)
        if wait_until(lambda: os.path.exists(f"/tmp/.X11-unix/X{n}") or xvfb.poll() is not None,
                      10) and xvfb.poll() is None:
            return xvfb, f":{n}"
        xvfb.kill()
        xvfb.wait()
    raise RuntimeError("no display for Xvfb")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--kesu", default="build/app/kesu")
    ap.add_argument("--mib", type=int, default=8, help="MiB per throughput run")
    ap.add_argument("--rss-mb", type=int, default=200, help="MB for the memory runs (0: skip)")
    ap.add_argument("--probes", type=int, default=40, help="keys and clicks during the flood")
    ap.add_argument("--idle-seconds", type=int, default=10)
    ap.add_argument("--idle-writes", default="100,10",
                    help="how often the far end writes during the idle runs, in writes a second "
                         "(several separated by commas): USB adapters hand on what they received "
                         "every few milliseconds, a UART far more often")
    ap.add_argument("--runs", type=int, default=3, help="throughput runs of each program")
    ap.add_argument("--only", default="throughput,latency,memory,idle",
                    help="the measures to take, separated by commas")
    args = ap.parse_args()
    only = set(args.only.split(","))
    rng = random.Random(14)

    xvfb, display = start_xvfb()
    try:
        scr = Screen(display)
        size = args.mib << 20
        binary = rng.randbytes(size)
        text = text_stream(size, rng)
        print(f"stream: {args.mib} MiB per run, Xvfb {display}", flush=True)
        for name, data, hexd in (("hex, random bytes", binary, True),
                                 ("text with line breaks", text, False)):
            if "throughput" not in only:
                break
            # The two take turns, and the medians of the runs are compared: on a shared machine
            # a single run of either moves by tens of percent.
            picos, rates, all_exact, pico_exact = [], [], True, True
            for _ in range(args.runs):
                pico, pico_ok = run_picocom(data)
                rate, per_byte, exact = run_kesu(args, display, scr, data, hexd)
                picos.append(pico)
                rates.append(rate)
                all_exact = all_exact and bool(exact)
                pico_exact = pico_exact and pico_ok
            rate, pico = statistics.median(rates), statistics.median(picos)
            print(f"throughput {name:22s} kesu {rate / 1e6:6.2f} MB/s (shown exactly: {all_exact})"
                  f"  picocom {pico / 1e6:6.2f} MB/s (logged exactly: {pico_exact})"
                  f"  ratio {rate / pico:5.2f}  (medians of {args.runs})", flush=True)
        keys, clicks, cleared = run_latency(args, display, scr, rng) if "latency" in only else (
            [], [], None)
        if "latency" in only:
            print(f"latency: the clicks on 清空收接 emptied the box: {cleared}", flush=True)
        for name, v in (("key into 发送框", keys), ("press on 清空收接", clicks)):
            if v:
                print(f"latency {name}: p50 {percentile(v, 50) * 1e3:7.1f} ms  p99 "
                      f"{percentile(v, 99) * 1e3:7.1f} ms  max {max(v) * 1e3:7.1f} ms "
                      f"({len(v)} probes)", flush=True)
        if args.rss_mb and "memory" in only:
            for name, hexd in (("text", False), ("hex", True)):
                n = args.rss_mb * 1000 * 1000
                data = text_stream(n, rng) if not hexd else os.urandom(n)
                _, per_byte, _ = run_kesu(args, display, scr, data, hexd, check=False)
                print(f"memory {name}: RSS grew {per_byte:5.2f} B per received byte "
                      f"({args.rss_mb} MB)", flush=True)
        if "idle" not in only:
            return 0
        for writes in (int(w) for w in args.idle_writes.split(",")):
            cpu = run_idle(args, display, scr, rng, writes)
            pico, _ = run_picocom(text_stream(11520 * args.idle_seconds, rng), rate=11520,
                                  writes=writes)
            print(f"idle cost at 11.5 KB/s of text in {writes} writes/s: kesu {cpu * 100:5.2f} % "
                  f"of a core, picocom {pico * 100:5.2f} %  ratio {cpu / pico:5.2f}", flush=True)
    finally:
        xvfb.terminate()
        xvfb.wait()


if __name__ == "__main__":
    sys.exit(main())
