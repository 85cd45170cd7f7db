#!/usr/bin/env python3
"""timeit.py REPEAT COMMAND...: runs COMMAND REPEAT times one after another and prints the
median wall time and CPU time in ms (0.1 ms precision) and the largest peak resident memory in
KiB. The command's output goes to this script's stdout and stderr (every run's). Peak memory
comes from /usr/bin/time around the command: a child of this script would count the
interpreter's own pages, which it shares until it executes the command."""
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

repeat = max(1, int(sys.argv[1]))
command = sys.argv[2:]
walls, cpus, rss = [], [], 0
with tempfile.NamedTemporaryFile("r") as peak:
    for _ in range(repeat):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", peak.name, *command], check=False)
        wall = time.perf_counter() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        walls.append(wall * 1000)
        cpus.append((after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime) * 1000)
        peak.seek(0)
        last = peak.read().split()
        rss = max(rss, int(last[-1]) if last else 0)
print(f"{statistics.median(walls):.1f} {statistics.median(cpus):.1f} {rss}", file=os.fdopen(3, "w"))
