#!/usr/bin/env python3
"""A page of millions of short lines in real windows: what a line costs in memory and how long
until the whole page is in, for Tagloom builds and, beside them, Geany (Scintilla) when it is
installed. Each program runs under Xvfb with a home of its own, at the size it opens with.

Usage: bench/short_lines.py [ROUNDS] [--lines N] [--program PATH]... [--geany]

For each program and round:
  - the empty window: the program opened on an empty page, resident memory 3 s later;
  - the page: until the window's title names the page and no longer says it is loading, and until
    the whole page is in (the last moment the program used CPU before it stayed idle for a second:
    reading, laying out and what reads the page after it); then resident memory 4 s later and
    the peak. Bytes a line are counted above the empty window.
The rounds take the programs in turn. Prints the median over the rounds.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import real_window  # noqa: E402  (its tools: the X server, the display number)

QUIET_S = 1.0


def cpu_ms(pid):
    total = 0
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                total += int(f.read().split()[0])
    except (FileNotFoundError, ProcessLookupError):
        pass
    return total / 1e6


def start(command, page, work):
    home = tempfile.mkdtemp(dir=work)
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
               XDG_CONFIG_HOME=os.path.join(home, "config"), XDG_CACHE_HOME=os.path.join(home, "cache"))
    if command == "geany":
        args = ["geany", "--new-instance", "--no-session", "--config", os.path.join(home, "geany"), page]
    else:
        args = [command, page]
    return subprocess.Popen(args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def stop(process):
    process.kill()
    process.wait()


def titles_of(pid):
    """The titles of the program's windows (a program may have hidden ones too)."""
    found = subprocess.run(["xdotool", "search", "--pid", str(pid)], capture_output=True, text=True).stdout.split()
    return [subprocess.run(["xdotool", "getwindowname", window], capture_output=True, text=True).stdout
            for window in found]


def until_idle(pid, started, page_name=None, limit_s=600):
    """Seconds from the start until the last CPU use before a quiet second, and until the title
    named the page and no longer said it was loading (when page_name is given)."""
    last_cpu, last_busy = cpu_ms(pid), time.monotonic()
    titled = None
    while time.monotonic() - last_busy < QUIET_S:
        time.sleep(0.05)
        cpu = cpu_ms(pid)
        if cpu - last_cpu > 1.0:  # more than 1 ms in 50: working
            last_busy = time.monotonic()
        last_cpu = cpu
        if page_name and titled is None:
            if any(page_name in title and "loading" not in title for title in titles_of(pid)):
                titled = time.monotonic() - started
        if time.monotonic() - started > limit_s:
            break
    return last_busy - started, titled


def one(command, page, empty, lines, work):
    process = start(command, empty, work)
    time.sleep(3)
    until_idle(process.pid, time.monotonic())
    base = real_window.status_mib(process.pid, "VmRSS")
    stop(process)

    started = time.monotonic()
    process = start(command, page, work)
    took, titled = until_idle(process.pid, started, os.path.basename(page))
    time.sleep(4)
    resident = real_window.status_mib(process.pid, "VmRSS")
    peak = real_window.status_mib(process.pid, "VmHWM")
    stop(process)
    per_line = lambda mib: (mib - base) * 1048576 / lines  # noqa: E731
    return {"empty window (MiB)": base, "title names the page, loaded (s)": titled or float("nan"),
            "whole page in, idle (s)": took, "resident (MiB)": resident,
            "peak (MiB)": peak, "bytes a line, settled": per_line(resident), "bytes a line, peak": per_line(peak)}


def main():
    args = sys.argv[1:]
    programs, lines = [], 3_300_000
    while "--program" in args:
        i = args.index("--program")
        programs.append(os.path.abspath(args[i + 1]))
        del args[i:i + 2]
    programs = programs or [os.path.join(real_window.ROOT, "build-release", "src", "tagloom")]
    if "--lines" in args:
        i = args.index("--lines")
        lines = int(args[i + 1])
        del args[i:i + 2]
    if "--geany" in args:
        args.remove("--geany")
        if shutil.which("geany"):
            programs.append("geany")
        else:
            print("geany is not installed (apt-get install geany): left out")
    rounds = int(args[0]) if args else 3
    xvfb = real_window.start_x_server()
    work = tempfile.mkdtemp(prefix="tagloom-short-lines-")
    try:
        page, empty = os.path.join(work, "lines.html"), os.path.join(work, "empty.html")
        with open(page, "wb") as f:  # "<p>000123\n": 10 bytes a line
            f.write(b"".join(b"<p>%06d\n" % (i % 1000000) for i in range(lines)))
        open(empty, "wb").close()
        # A program's first start on a fresh X server costs more (Geany's: 96 MiB against 42 after):
        # a start of each first, not measured.
        for program in programs:
            process = start(program, empty, work)
            time.sleep(3)
            stop(process)
        results = {p: [] for p in programs}
        for _ in range(rounds):
            for program in programs:
                results[program].append(one(program, page, empty, lines, work))
        print(f"{lines} lines of 10 bytes, median of {rounds} rounds; programs:")
        real_window.print_medians(results, programs, 34, 1)
    finally:
        xvfb.terminate()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
