"""A private X display with a Wine prefix on it: what the demo and its test run
the band's programs in. Everything started here is ended again, also when the
run is interrupted."""

import os
import shutil
import signal
import subprocess
import time


def free_display(first=60):
    for n in range(first, first + 100):
        if not os.path.exists("/tmp/.X11-unix/X%d" % n) and not os.path.exists("/tmp/.X%d-lock" % n):
            return n
    raise RuntimeError("no free X display number")


class Session:
    def __init__(self, prefix, bin_dir, depth=24, width=800, height=600):
        self.prefix = prefix
        self.bin_dir = bin_dir
        self.depth = depth
        self.size = (width, height)
        self.display = None
        self.xvfb = None
        self.children = []
        self.env = None

    # -- lifetime ---------------------------------------------------------
    def start(self):
        n = free_display()
        self.display = ":%d" % n
        w, h = self.size
        self.xvfb = subprocess.Popen(
            ["Xvfb", self.display, "-screen", "0", "%dx%dx%d" % (w, h, self.depth), "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists("/tmp/.X11-unix/X%d" % n):
                break
            time.sleep(0.05)
        self.env = dict(os.environ)
        self.env.update({
            "DISPLAY": self.display,
            "WINEPREFIX": self.prefix,
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
        })
        self.env.pop("WAYLAND_DISPLAY", None)
        # A desktop colour, so that windows and the taskbar stand out.
        subprocess.run(["xsetroot", "-solid", "#3a6ea5"], env=self.env, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # The display belongs to this run: a wineserver left from another
        # display would draw elsewhere.
        self.run(["wineserver", "-k"], check=False)
        self.run(["wineserver", "-w"], check=False)
        if not os.path.exists(os.path.join(self.prefix, "system.reg")):
            os.makedirs(self.prefix, exist_ok=True)
            self.run(["wineboot", "-i"], check=False, timeout=300)
            self.run(["wineserver", "-w"], check=False, timeout=300)
        # Real pixels: Wine's X11 driver, not the null one the tests use.
        self.wine(["reg", "delete", r"HKCU\Software\Wine\Drivers", "/v", "Graphics", "/f"], check=False)
        subprocess.run(["wineserver", "-p"], env=self.env, check=False)
        self.run(["wine", "cmd", "/c", "exit"], check=False)

    def stop(self):
        for proc in reversed(self.children):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    proc.kill()
        self.children = []
        if self.env is not None:
            subprocess.run(["wineserver", "-k"], env=self.env, check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.xvfb is not None and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
        self.xvfb = None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    # -- running things ---------------------------------------------------
    def run(self, argv, check=True, timeout=120, capture=False):
        result = subprocess.run(argv, env=self.env, check=False, timeout=timeout,
                                stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE if capture else subprocess.DEVNULL,
                                stderr=subprocess.PIPE if capture else subprocess.DEVNULL,
                                text=True, errors="replace")
        if check and result.returncode != 0:
            raise RuntimeError("%s failed with %d: %s" % (argv, result.returncode,
                                                          (result.stderr or "").strip()))
        return result

    def wine(self, argv, check=True, timeout=120):
        return self.run(["wine"] + argv, check=check, timeout=timeout, capture=True)

    def tool(self, name, args, check=True, timeout=120):
        return self.wine([os.path.join(self.bin_dir, name)] + list(args), check=check, timeout=timeout)

    def spawn_tool(self, name, args, stdout_path):
        out = open(stdout_path, "w")
        proc = subprocess.Popen(["wine", os.path.join(self.bin_dir, name)] + list(args), env=self.env,
                                stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT)
        self.children.append(proc)
        return proc

    def windows_path(self, unix_path):
        return "Z:" + os.path.abspath(unix_path).replace("/", "\\")

    # -- seeing and acting as a person would ------------------------------
    def screenshot(self, path):
        subprocess.run(["import", "-display", self.display, "-window", "root", path], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    def move_mouse(self, x, y):
        subprocess.run(["xdotool", "mousemove", str(x), str(y)], env=self.env, check=True)

    def click(self):
        subprocess.run(["xdotool", "click", "1"], env=self.env, check=True)


def install_interrupt_cleanup(sessions):
    """Ctrl-C or a kill still ends every process a session started."""
    def handler(signum, _frame):
        for s in sessions:
            s.stop()
        raise SystemExit(128 + signum)
    signal.signal(signal.SIGINT, handler)
    signal.signal(signal.SIGTERM, handler)


def have_tools():
    return all(shutil.which(t) for t in ("Xvfb", "import", "xdotool", "wine"))
