#!/usr/bin/env python3
"""Pathological inputs, each converted at two sizes 10x apart.

Prints, per case, the CPU seconds (user + system), wall seconds and peak
memory of both runs and the ratio of CPU seconds; linear work gives a ratio
near 10 (or less, while start-up costs dominate). Each size runs --repeat
times and the fastest run counts. CPU time is the measure because the
machine may be shared: wall time then includes waiting for a core. Each run
happens in a fresh folder (under /dev/shm when it exists, so that disk
writeback does not blur the numbers) beside a copy of the program, so the
case's default rule file (norvelle.ini) is the one it finds.

  bench/pathological.py --bin build/src/app/norvelle            # full sizes
  bench/pathological.py --bin ... --scale 0.01 --timeout 300    # scripts/test
  bench/pathological.py --bin ... --markdown                    # a table

With --scale the sizes shrink by that factor (at least 1 unit). No timing is
asserted: a run fails the script only when it exits other than 0 or 1, is
killed, or passes --timeout.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HEAD = "HeaderStr=\nEndStr=\n"


def auto_replace(entries):
    return HEAD + "[AutoReplaceList]\n" + "".join("\t%s\n" % e for e in entries) + "[EndSection]\n"


def words(n, word="word"):
    return ("%s\n" % word * n).encode()


# name, unit, size at full scale, source(n) -> bytes, rules(n) -> str or None
CASES = [
    ("single line", "bytes", 100 << 20,
     lambda n: b"x" * n + b"\n", None),
    ("elements in one line", "elements", 1_000_000,
     lambda n: b"a " * n + b"\n", None),
    ("nested |table=| lines", "lines", 10_000,
     lambda n: b"|table=|a b\n" * n, None),
    ("|base| of 500 commands", "lines", 10_000,
     lambda n: b"|base|" + b",".join([b"b", b"i"] * 250) + b"\n" + b"text here\n" * n, None),
    ("alternating |b|/|i| lines", "lines", 100_000,
     lambda n: b"|b|bold\n|i|italic\n" * (n // 2), None),
    ("nested groups in a pattern", "groups", 100_000,
     lambda n: words(100), lambda n: auto_replace(["%{" * n + "a" + "%}" * n + "=R:y"])),
    ("%+0{%}x against words", "words", 1000,
     lambda n: words(n, "abcdefgh"), lambda n: auto_replace(["%+0{%}x=R:y"])),
    ("%2147483647t against words", "words", 1000,
     lambda n: words(n), lambda n: auto_replace(["%2147483647t=R:y"])),
    ("lone lead, NUL, 0x1A, CR bytes", "bytes", 10 << 20,
     lambda n: (b"\x81\n\x00a\r\x9f\r\n\xe0" * (n // 10)) + b"\x1a", None),
    ("command word", "bytes", 1 << 20,
     lambda n: b"|" + b"b" * n + b"|text\n", None),
    ("keys in one rule section", "keys", 1_000_000,
     lambda n: words(10),
     lambda n: HEAD + "[AutoReplaceList]\n" + "".join("\tk%d=M:v\n" % i for i in range(n)) + "[EndSection]\n"),
]


def run_once(binary, source, rules, timeout):
    base = "/dev/shm" if os.access("/dev/shm", os.W_OK) else None
    work = tempfile.mkdtemp(prefix="norvelle-patho-", dir=base)
    try:
        exe = os.path.join(work, "norvelle")
        shutil.copy(binary, exe)
        if rules is not None:
            with open(os.path.join(work, "norvelle.ini"), "w", encoding="latin-1") as f:
                f.write(rules)
        doc = os.path.join(work, "doc.txt")
        with open(doc, "wb") as f:
            f.write(source)
        # /usr/bin/time measures the program alone: a child forked from this
        # script would count the script's own memory as its peak.
        peak_file = os.path.join(work, "peak")
        cmd = [exe, "--batch", doc]
        if os.access("/usr/bin/time", os.X_OK):
            cmd = ["/usr/bin/time", "-f", "%M", "-o", peak_file] + cmd
        start = time.perf_counter()
        proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = start + timeout
        while True:
            pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
            if pid:
                break
            if time.perf_counter() > deadline:
                proc.kill()
                proc.wait()
                return None, None, None, "timed out after %ds" % timeout
            time.sleep(0.002)
        wall = time.perf_counter() - start
        cpu = usage.ru_utime + usage.ru_stime
        code = os.waitstatus_to_exitcode(status)
        peak_mb = usage.ru_maxrss / 1024
        if os.path.exists(peak_file):
            with open(peak_file) as f:
                lines = [l for l in f.read().split() if l.isdigit()]
            if lines:
                peak_mb = int(lines[-1]) / 1024
        if code not in (0, 1):
            return cpu, wall, peak_mb, "exit status %d" % code
        return cpu, wall, peak_mb, None
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", required=True)
    ap.add_argument("--scale", type=float, default=1.0)
    ap.add_argument("--timeout", type=int, default=3600)
    ap.add_argument("--markdown", action="store_true")
    ap.add_argument("--only", help="run the cases whose name contains this")
    ap.add_argument("--repeat", type=int, default=1)
    args = ap.parse_args()

    failures = []
    if args.markdown:
        print("| case | small | large | CPU s small | CPU s large | ratio | wall s small | wall s large | peak MB small | peak MB large |")
        print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for name, unit, full, source, rules in CASES:
        if args.only and args.only not in name:
            continue
        large = max(10, int(full * args.scale))
        small = large // 10
        results = []
        for n in (small, large):
            src = source(n)
            rl = rules(n) if rules else None
            runs = [run_once(args.bin, src, rl, args.timeout) for _ in range(args.repeat)]
            results.append(min(runs, key=lambda r: (r[3] is not None, r[0] or 0)))
        (t1, w1, m1, e1), (t2, w2, m2, e2) = results
        for n, e in ((small, e1), (large, e2)):
            if e:
                failures.append("%s at %d %s: %s" % (name, n, unit, e))
        ratio = (t2 / t1) if (t1 and t2) else float("nan")
        if args.markdown:
            print("| %s | %d %s | %d %s | %.3f | %.3f | %.1f | %.3f | %.3f | %.0f | %.0f |" %
                  (name.replace("|", "\\|"), small, unit, large, unit, t1 or -1, t2 or -1, ratio,
                   w1 or -1, w2 or -1, m1 or -1, m2 or -1))
        else:
            print("%-32s %10d %10d %9.3fs %9.3fs  x%5.1f  wall %7.3fs %7.3fs %7.0f MB %7.0f MB" %
                  (name, small, large, t1 or -1, t2 or -1, ratio, w1 or -1, w2 or -1, m1 or -1, m2 or -1))
        sys.stdout.flush()
    for f in failures:
        print("FAILED: " + f, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
