#!/usr/bin/env python3
"""What users feel in a real window: the program under Xvfb in a 1024x768 window, keys sent through
XTest, CPU read from /proc, the screen's changes caught with X DAMAGE events (bench/x_probe.c).

Usage: bench/real_window.py [ROUNDS] [--program PATH]...

Several --program options compare builds: the rounds take them in turn, so that a busy moment of
the machine falls on each alike.

Needs a release build (scripts/run.sh or scripts/test.sh makes one); installs Xvfb, xdotool and
the X headers the probe needs when they are missing. Pages come from $TAGLOOM_CORPUS (default
../shared/corpus). Prints, for each figure, the median over the rounds of each round's median.
"""
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.environ.get("TAGLOOM_CORPUS", os.path.join(ROOT, "..", "shared", "corpus"))
BIG = os.path.join(CORPUS, "c-5.9m-nodejs-api-all.html")
MEDIUM = os.path.join(CORPUS, "b-870k-bashref.html")
KEYS = 15


def run(*args, **kw):
    # Nothing here takes long; a step that hangs (a dialog that never came) fails the run.
    return subprocess.run(args, check=True, capture_output=True, text=True, timeout=180, **kw).stdout


def ensure_tools():
    need = [p for p, f in [("xvfb", "/usr/bin/Xvfb"), ("xdotool", "/usr/bin/xdotool"),
                           ("libxdamage-dev", "/usr/include/X11/extensions/Xdamage.h"),
                           ("libxtst-dev", "/usr/include/X11/extensions/XTest.h"),
                           ("libx11-dev", "/usr/include/X11/Xlib.h"), ("gcc", "/usr/bin/gcc")]
            if not os.path.exists(f)]
    if need:
        sudo = [] if os.geteuid() == 0 else ["sudo"]
        subprocess.run(sudo + ["apt-get", "install", "-y", "-qq", "--no-install-recommends"] + need, check=True)
    probe = os.path.join(ROOT, "build-release", "bench", "x_probe")
    source = os.path.join(ROOT, "bench", "x_probe.c")
    if not os.path.exists(probe) or os.path.getmtime(probe) < os.path.getmtime(source):
        os.makedirs(os.path.dirname(probe), exist_ok=True)
        run("gcc", "-O2", "-o", probe, source, "-lX11", "-lXdamage", "-lXfixes", "-lXtst")
    return probe


def free_display():
    for n in range(90, 200):
        if not os.path.exists(f"/tmp/.X11-unix/X{n}") and not os.path.exists(f"/tmp/.X{n}-lock"):
            return n
    sys.exit("no free X display number")


def status_mib(pid, field):
    """A figure of /proc/PID/status in MiB: VmRSS (resident) or VmHWM (its peak)."""
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) / 1024
    return float("nan")


def start_x_server():
    """An Xvfb of our own on a free display, made this process's DISPLAY."""
    display = free_display()
    xvfb = subprocess.Popen(["Xvfb", f":{display}", "-screen", "0", "1280x1024x24", "-noreset"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.environ["DISPLAY"] = f":{display}"
    time.sleep(1)
    return xvfb


def print_medians(results, programs, width, decimals):
    """Each figure's median over the rounds, a column per program."""
    for i, program in enumerate(programs):
        print(f"  [{i + 1}] {program}")
    print(f"  {'':{width}s} " + " ".join(f"{'[' + str(i + 1) + ']':>9s}" for i in range(len(programs))))
    for name in results[programs[0]][0]:
        cells = [statistics.median(r[name] for r in results[p]) for p in programs]
        print(f"  {name:{width}s} " + " ".join(f"{c:9.{decimals}f}" for c in cells))


class Session:
    """One program started on one page, in data and settings folders of its own."""

    def __init__(self, probe, program, page, work, settings=""):
        self.probe = probe
        home = tempfile.mkdtemp(dir=work)
        self.env = dict(os.environ, XDG_DATA_HOME=os.path.join(home, "data"),
                        XDG_CONFIG_HOME=os.path.join(home, "config"))
        if settings:  # the program's options, where its QSettings looks for them
            folder = os.path.join(home, "config", "Unknown Organization")
            os.makedirs(folder)
            with open(os.path.join(folder, "Tagloom.conf"), "w") as f:
                f.write(settings)
        out = run(probe, "appear", program, page, env=self.env).split()
        self.mapped, self.painted, self.text = float(out[0]), float(out[1]), float(out[2])
        self.pid, self.window = int(out[3]), out[4]
        run("xdotool", "windowsize", self.window, "1024", "768")
        run("xdotool", "windowfocus", "--sync", self.window)
        self.idle()

    def idle(self):
        # The probe's key command waits for idleness before its first key; none pressed here.
        subprocess.run([self.probe, "keys", self.window, str(self.pid), "0", "x"], check=True, timeout=60)

    def key(self, *names):
        run("xdotool", "key", "--delay", "20", *names)
        time.sleep(0.1)
        self.idle()

    def go_to(self, place):
        self.key("ctrl+g")
        dialog = run("xdotool", "search", "--sync", "--onlyvisible", "--name", "^Go to Line$").split()[0]
        run("xdotool", "windowfocus", "--sync", dialog)
        run("xdotool", "type", "--delay", "10", place)
        run("xdotool", "key", "Return")
        time.sleep(0.2)
        run("xdotool", "windowfocus", "--sync", self.window)
        self.idle()

    def typing(self):
        """Median time until shown and median CPU per key, for KEYS presses of x."""
        rows = [list(map(float, line.split()[:2])) for line in
                run(self.probe, "keys", self.window, str(self.pid), str(KEYS), "x").splitlines()]
        return statistics.median(r[0] for r in rows), statistics.median(r[1] for r in rows)

    def rss_mib(self):
        return status_mib(self.pid, "VmRSS")

    def peak_mib(self):
        return status_mib(self.pid, "VmHWM")

    def idle_cpu(self, seconds=5):
        # After the last key, the recovery copy is written and the tag map built once; idle is
        # what comes after that: the caret blinking.
        time.sleep(3)
        self.idle()
        return float(run(self.probe, "idle", str(self.pid), str(seconds)))

    def end(self):
        # The program is the probe's child, not ours: wait for it to be gone from /proc.
        os.kill(self.pid, signal.SIGKILL)
        while os.path.exists(f"/proc/{self.pid}/status"):
            with open(f"/proc/{self.pid}/status") as f:
                if "State:\tZ" in f.read():
                    break
            time.sleep(0.05)


def long_line_page(work):
    line = ""
    while len(line) < 62000:
        line += '<a href="x.htm">link</a> '
    path = os.path.join(work, "long-line.html")
    with open(path, "w") as f:
        f.write("<html><body>" + line + "</body></html>\n")
    return path


def one_round(probe, program, work, long_page):
    r = {}
    s = Session(probe, program, BIG, work)
    r["window appears, 5.9 MB page (ms)"] = s.mapped
    r["window shows something, 5.9 MB page (ms)"] = s.painted
    r["window shows the page's first screen (ms)"] = s.text
    time.sleep(1)  # a big page goes on loading while idle
    s.idle()
    r["memory after opening, 5.9 MB page (MiB)"] = s.rss_mib()
    r["peak memory after opening, 5.9 MB page (MiB)"] = s.peak_mib()
    s.go_to("47000")
    shown, cpu = s.typing()
    r["CPU per key, plain, 5.9 MB (ms)"] = cpu
    r["key shown, plain, 5.9 MB (ms)"] = shown
    s.key("ctrl+h")
    s.go_to("47000")  # the colouring pass leaves the caret on the last comment
    shown, cpu = s.typing()
    r["CPU per key, coloured, 5.9 MB (ms)"] = cpu
    r["key shown, coloured, 5.9 MB (ms)"] = shown
    s.key("ctrl+Home")
    # Walk the caret through the whole page a screen at a time, then type.
    run("xdotool", "key", "--delay", "3", "--repeat", "2600", "Next")
    s.idle()
    r["peak memory after walking the page (MiB)"] = s.peak_mib()
    s.key("x")
    time.sleep(3)  # past the recovery copy and the readers that start when typing pauses
    s.idle()
    r["memory after walking the page and typing (MiB)"] = s.rss_mib()
    r["peak memory after walking the page and typing (MiB)"] = s.peak_mib()
    s.end()

    # The colours kept true as you type: the classic pass, then the HTML5 scheme.
    for name, settings in (("coloured as you type", "[colouring]\nasYouType=true\n"),
                           ("HTML5 scheme", "[colouring]\nscheme=html5\n")):
        s = Session(probe, program, BIG, work, settings)
        time.sleep(1)
        s.idle()
        s.key("ctrl+h")
        s.go_to("47000")
        shown, cpu = s.typing()
        r[f"CPU per key, {name}, 5.9 MB (ms)"] = cpu
        r[f"key shown, {name}, 5.9 MB (ms)"] = shown
        s.end()

    s = Session(probe, program, MEDIUM, work)
    s.key("ctrl+h")
    s.go_to("8000")
    shown, cpu = s.typing()
    r["CPU per key, coloured, 870 KB (ms)"] = cpu
    s.end()

    s = Session(probe, program, long_page, work)
    s.go_to("1:31000")
    shown, cpu = s.typing()
    r["CPU per key, 62,000-char line, plain (ms)"] = cpu
    s.key("ctrl+h")
    s.go_to("1:31000")
    shown, cpu = s.typing()
    r["CPU per key, 62,000-char line, coloured (ms)"] = cpu
    r["idle CPU, caret in the long line (ms/s)"] = s.idle_cpu()
    s.end()
    return r


def main():
    args = sys.argv[1:]
    programs = []
    while "--program" in args:
        i = args.index("--program")
        programs.append(os.path.abspath(args[i + 1]))
        del args[i:i + 2]
    programs = programs or [os.path.join(ROOT, "build-release", "src", "tagloom")]
    rounds = int(args[0]) if args else 5
    for page in (BIG, MEDIUM):
        if not os.path.isfile(page):
            sys.exit(f"page not found: {page} (set TAGLOOM_CORPUS to the folder of real pages)")
    probe = ensure_tools()
    xvfb = start_x_server()
    work = tempfile.mkdtemp(prefix="tagloom-real-window-")
    try:
        long_page = long_line_page(work)
        results = {p: [] for p in programs}
        for _ in range(rounds):
            for program in programs:
                results[program].append(one_round(probe, program, work, long_page))
        print(f"median of {rounds} rounds (each figure a round's median of {KEYS} keys); programs:")
        print_medians(results, programs, 52, 2)
    finally:
        xvfb.terminate()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
