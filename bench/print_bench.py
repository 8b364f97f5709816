#!/usr/bin/env python3
"""Times the print benchmark (bench/RESULTS.md): whole processes under Wine on
the CUPS queue that discards its jobs, two commands in turn (A B A B ...), one
warm-up each, then RUNS counted runs; medians of wall and cpu time and of the
peak memory (the largest process's resident set), and the ratio A/B pair by
pair.

Pairs, for each report of bench/print_reports.py named (--reports):
  after/floor   quillet-print.exe of this tree against print_floor.exe (the least
                GDI work that prints the same runs with the same width arrays;
                not for the customer lists, whose shaped words it cannot draw)
  before/after  quillet-print.exe of an older build against this tree's (--before)
  floor/plain   print_floor.exe against itself without width arrays (--plain)

Usage: print_bench.py [--runs N] [--before BIN] [--pairs after/floor,...]
                      [--reports NAME,...] [BIN]
BIN is the folder of a build's programs (default build/win32/bin; build/win64/bin
for x64); --before names the folder of the older quillet-print.exe, of the same
architecture. scripts/wine-run.sh runs each in the Wine prefix of its
architecture ($QUILLET_WINEPREFIX, $QUILLET_WINEPREFIX64)."""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
WINE_RUN = os.path.join(HERE, "..", "scripts", "wine-run.sh")
REPORTS = "scripts-200-utf8.txt,latin-200-cp1252.txt"


TICKS = os.sysconf("SC_CLK_TCK")


def orphan(pid, group, name):
    """(cpu seconds, peak MB) of process `pid` when it is the program `name` of
    the run's process group that no process of the run waits for (Wine starts
    an x64 program from its 32-bit loader, which hands it over to init), else
    None."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        if int(fields[2]) != group:
            return None
        with open(f"/proc/{fields[1]}/stat") as f:  # its parent: outside the run
            if int(f.read().rsplit(")", 1)[1].split()[2]) == group:
                return None
        with open(f"/proc/{pid}/comm") as f:
            if not name.startswith(f.read().strip()):
                return None
        with open(f"/proc/{pid}/status") as f:
            peak = next(int(line.split()[1]) for line in f if line.startswith("VmHWM:"))
        return (int(fields[11]) + int(fields[12])) / TICKS, peak / 1024
    except (OSError, ValueError, StopIteration, IndexError):
        return None


def timed(command, folder):
    """Wall and cpu seconds and peak MB of one whole run: the processes it waits
    for (the peak is the largest single process's), and the program itself where
    it runs apart from them (sampled every 50 ms until it ends: up to 50 ms of its
    cpu time go uncounted)."""
    name = os.path.basename(command[1])
    start = time.monotonic()
    child = subprocess.Popen(command, cwd=folder, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL, start_new_session=True)
    seen = None
    apart = (0.0, 0.0)
    while True:
        pid, status, usage = os.wait4(child.pid, os.WNOHANG)
        if pid != 0:
            break
        if seen is None and time.monotonic() - start < 5:  # it starts within a second or two
            seen = next((p for p in map(int, filter(str.isdigit, os.listdir("/proc")))
                         if orphan(p, child.pid, name) is not None), None)
        if seen is not None:
            apart = orphan(seen, child.pid, name) or apart
        time.sleep(0.05)
    wall = time.monotonic() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"failed: {' '.join(command)}")
    return wall, usage.ru_utime + usage.ru_stime + apart[0], max(usage.ru_maxrss / 1024, apart[1])


def pair(a, b, runs, folder):
    timed(a, folder)
    timed(b, folder)
    times = {"A": [], "B": []}
    for _ in range(runs):
        times["A"].append(timed(a, folder))
        times["B"].append(timed(b, folder))
    return times


def spread(values):
    return f"{statistics.median(values):.3f} ({min(values):.3f}-{max(values):.3f})"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--before")
    parser.add_argument("--pairs", default="after/floor,before/after,floor/plain")
    parser.add_argument("--reports", default=REPORTS)
    parser.add_argument("bin", nargs="?", default=os.path.join(HERE, "..", "build", "win32", "bin"))
    args = parser.parse_args()

    def program(name, folder):
        return [WINE_RUN, os.path.abspath(os.path.join(folder, name))]

    with tempfile.TemporaryDirectory() as folder:
        subprocess.run([sys.executable, os.path.join(HERE, "print_reports.py"), folder], check=True)
        for report in args.reports.split(","):
            commands = {"after": program("quillet-print.exe", args.bin) + ["-printer_id=Null", "-pitch=7", report]}
            if not report.startswith("customers-"):
                commands["floor"] = program("print_floor.exe", args.bin) + ["Null", "7", report]
                commands["plain"] = program("print_floor.exe", args.bin) + ["--plain", "Null", "7", report]
            if args.before:
                commands["before"] = program("quillet-print.exe", args.before) + ["-printer_id=Null", "-pitch=7",
                                                                                   report]
            for name in args.pairs.split(","):
                a, b = name.split("/")
                if a not in commands or b not in commands:
                    continue
                with open("/proc/loadavg") as f:
                    load = " ".join(f.read().split()[:3])
                times = pair(commands[a], commands[b], args.runs, folder)
                print(f"{report}  {a} / {b}  ({args.runs} pairs, load average {load})")
                for key, label in (("A", a), ("B", b)):
                    print(f"  {label:7} wall s {spread([t[0] for t in times[key]])}  "
                          f"cpu s {spread([t[1] for t in times[key]])}  peak MB {spread([t[2] for t in times[key]])}")
                for index, what in ((0, "wall"), (1, "cpu")):
                    ratios = [x[index] / y[index] for x, y in zip(times["A"], times["B"])]
                    print(f"  {a}/{b} {what} {spread(ratios)}")
                sys.stdout.flush()


if __name__ == "__main__":
    main()
