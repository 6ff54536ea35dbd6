#!/usr/bin/env python3
"""Times Norvelle against its peers on equal documents, side by side in one
run: each round runs every program once, in turn, so that the machine's
state changes alike for all. Whole processes: read, convert, write a file.

Usage: run_bench.py BUILD_DIR WORK_DIR [--quick] [--full] [--against BIN]
  --quick  the 1 MB sizes only, one round: checks that everything still runs
  --full   adds the 1 GB document to the size and linearity tables
  --against BIN  runs another Norvelle program (an earlier build) in every
           round beside this one, and ends with a before-and-after table

Prints, per size: median time, MB/s, peak RSS and the ratio to md4c
(md4c time / Norvelle time: above 1 Norvelle is faster); the runs with the
130-entry auto-replace list and with generated lists of 130 entries of
every kind and shape (10 and 100 MB); each pattern shape alone on the
10 MB twin, with the time it adds; a C++ listing against GNU
source-highlight; 1 MB and a one-line document start to exit; and the
linearity of Norvelle's time over the sizes.
"""
import os
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent


# A child's peak RSS as the kernel reports it starts at its parent's size at
# fork time (this script's, about 15 MB), so small programs are measured
# through GNU time, whose own fork is small.
GNU_TIME = "/usr/bin/time" if os.path.exists("/usr/bin/time") else None


def run(cmd, cwd=None):
    """Runs a command; returns (seconds, peak RSS in MB). Fails loudly."""
    rss_file = None
    if GNU_TIME:
        rss_file = Path(os.environ.get("TMPDIR", "/tmp")) / ("bench-rss-%d" % os.getpid())
        cmd = [GNU_TIME, "-f", "%M", "-o", str(rss_file)] + list(cmd)
    t = time.perf_counter()
    p = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(p.pid, 0)
    dt = time.perf_counter() - t
    err = p.stderr.read().decode("utf-8", "replace")
    p.stderr.close()
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        sys.exit("bench: %s exited %d: %s" % (" ".join(map(str, cmd)), code, err[:400]))
    if rss_file:
        kb = float(rss_file.read_text().split()[-1])
        rss_file.unlink()
        return dt, kb / 1024.0
    return dt, usage.ru_maxrss / 1024.0


def rounds(programs, n):
    """programs: {name: cmd}. Returns {name: (median seconds, max RSS MB)}."""
    times = {k: [] for k in programs}
    rss = {k: 0.0 for k in programs}
    for _ in range(n):
        for name, cmd in programs.items():
            dt, peak = run(cmd)
            times[name].append(dt)
            rss[name] = max(rss[name], peak)
    return {k: (statistics.median(times[k]), rss[k]) for k in programs}


def twin(work, mb):
    prefix = work / ("twin%g" % mb)
    if not Path(str(prefix) + ".md").exists():
        subprocess.run([sys.executable, str(HERE / "gen_twin.py"), str(mb), str(prefix)], check=True)
    return Path(str(prefix) + ".md"), Path(str(prefix) + ".txt")


def profiles(norvelle_dir, docs, n):
    """The HTML5 profile against HTML 4.01 on the same documents, in the same rounds."""
    print("\n== HTML5 profile (--html5) against HTML 4.01")
    print("%-22s %10s %10s %10s" % ("document", "4.01 s", "html5 s", "html5/4.01"))
    for label, doc in docs:
        res = rounds({"html401": [norvelle_dir / "norvelle", "--batch", doc],
                      "html5": [norvelle_dir / "norvelle", "--batch", "--html5", doc]}, n)
        print("%-22s %10.4f %10.4f %10.3f" % (label, res["html401"][0], res["html5"][0],
                                              res["html5"][0] / res["html401"][0]))


def main(argv):
    build, work = Path(argv[0]), Path(argv[1])
    quick, full = "--quick" in argv, "--full" in argv
    against = Path(argv[argv.index("--against") + 1]).resolve() if "--against" in argv else None
    work.mkdir(parents=True, exist_ok=True)
    norvelle = build / "src/app/norvelle"
    md4c = build / "bench/md4c_html"
    cmark = shutil.which("cmark")
    highlight = shutil.which("source-highlight")
    if not md4c.exists():
        sys.exit("bench: %s is missing (libmd4c-dev not installed?)" % md4c)
    # Norvelle with its default rules: a copy of the program in a folder of
    # its own, so that no rule file of the build folder is used.
    plain_dir, rules_dir = work / "plain", work / "rules"
    copies = [(plain_dir, norvelle), (rules_dir, norvelle)]
    if against:
        copies += [(work / "plain-before", against), (work / "rules-before", against)]
    for d, program in copies:
        d.mkdir(exist_ok=True)
        shutil.copy2(program, d / "norvelle")
        if d.name.startswith("plain"):
            (d / "norvelle.ini").write_bytes(b"")
        else:
            subprocess.run([sys.executable, str(HERE / "gen_twin.py"), "--rules", str(d / "norvelle.ini")],
                           check=True)
    compared = []  # (row, seconds before, seconds now)

    def beside(progs, row):
        """Adds the earlier program, run like "norvelle" from its own folder."""
        if against:
            cmd = progs["norvelle"]
            progs["before"] = [work / (Path(cmd[0]).parent.name + "-before") / "norvelle"] + cmd[1:]
        res = rounds(progs, n_rounds(row[1]))
        if against:
            compared.append((row[0], res["before"][0], res["norvelle"][0]))
        return res

    sizes = [1] if quick else [1, 10, 100] + ([1000] if full else [])
    # The shared machine's speed varies from second to second: more rounds
    # where they are cheap.
    n_rounds = lambda mb: 1 if quick else (11 if mb <= 1 else 9 if mb <= 10 else 5 if mb <= 100 else 2)
    out = work / "out"
    out.mkdir(exist_ok=True)

    print("== Plain document (Markdown twin for md4c and cmark, Norvelle markup twin for Norvelle)")
    print("%-8s %-9s %9s %9s %9s %9s %12s" % ("size", "program", "seconds", "MB/s", "peak MB", "peak/in",
                                                "md4c/this"))
    results = {}
    for mb in sizes:
        md, txt = twin(work, mb)
        progs = {"md4c": [md4c, md, out / "md4c.html"],
                 "norvelle": [plain_dir / "norvelle", "--batch", txt]}
        if cmark and mb <= 100:
            progs["cmark"] = ["sh", "-c", '"$0" --unsafe "$1" >"$2"', cmark, md, out / "cmark.html"]
        res = beside(progs, ("plain %g MB" % mb, mb))
        results[mb] = res
        base = res["md4c"][0]
        for name, (sec, peak) in res.items():
            size = txt.stat().st_size if name in ("norvelle", "before") else md.stat().st_size
            print("%-8s %-9s %9.3f %9.1f %9.0f %9.2f %12.2f" % ("%g MB" % mb, name, sec, size / 1e6 / sec,
                                                                peak, peak * 2**20 / size,
                                                                base / sec))

    print("\n== With the auto-replace list (100 exact, 20 search, 10 pattern entries)")
    for mb in ([1] if quick else [10, 100]):
        md, txt = twin(work, mb)
        res = beside({"md4c": [md4c, md, out / "md4c.html"],
                      "norvelle": [rules_dir / "norvelle", "--batch", txt]}, ("130 entries %g MB" % mb, mb))
        print("%-8s md4c %.3f s, Norvelle with rules %.3f s (%.1f MB peak): %.2fx md4c's time" %
              ("%g MB" % mb, res["md4c"][0], res["norvelle"][0], res["norvelle"][1],
               res["norvelle"][0] / res["md4c"][0]))
        if against:
            print("%-8s the earlier program with rules %.3f s" % ("", res["before"][0]))

    print("\n== Generated lists of 130 entries of every kind and shape (gen_twin.py --list 130 --seed N)")
    for mb in ([1] if quick else [10, 100]):
        md, txt = twin(work, mb)
        progs = {"md4c": [md4c, md, out / "md4c.html"]}
        for seed in ([1] if quick else [1, 2, 3]):
            d = work / ("list%d" % seed)
            d.mkdir(exist_ok=True)
            shutil.copy2(norvelle, d / "norvelle")
            subprocess.run([sys.executable, str(HERE / "gen_twin.py"), "--list", "130", str(d / "norvelle.ini"),
                            "--seed", str(seed)], check=True)
            progs["seed %d" % seed] = [d / "norvelle", "--batch", txt]
        res = rounds(progs, 1 if quick else 5 if mb <= 10 else 3)
        print("%-8s md4c %.3f s; " % ("%g MB" % mb, res["md4c"][0]) +
              "; ".join("%s %.3f s (%.2fx md4c's time)" % (k, v[0], v[0] / res["md4c"][0])
                        for k, v in res.items() if k != "md4c"))

    print("\n== Each pattern shape alone (gen_twin.py --shape NAME), time added to the plain conversion")
    mb = 1 if quick else 10
    md, txt = twin(work, mb)
    shapes = subprocess.run([sys.executable, str(HERE / "gen_twin.py"), "--shapes"], check=True,
                            capture_output=True, text=True).stdout.split()
    progs = {"plain": [plain_dir / "norvelle", "--batch", txt]}
    for name in shapes:
        d = work / ("shape-" + name)
        d.mkdir(exist_ok=True)
        shutil.copy2(norvelle, d / "norvelle")
        subprocess.run([sys.executable, str(HERE / "gen_twin.py"), "--shape", name, str(d / "norvelle.ini")],
                       check=True)
        progs[name] = [d / "norvelle", "--batch", txt]
    res = rounds(progs, 1 if quick else 5)
    plain = res["plain"][0]
    print("%g MB, plain %.3f s" % (mb, plain))
    worst = 0.0
    for name in shapes:
        added = res[name][0] - plain
        worst = max(worst, added / plain)
        print("  %-24s %8.3f s  %+7.1f ms  %+6.1f %%" % (name, res[name][0], added * 1000, 100 * added / plain))
    print("  the costliest shape adds %.1f %% of the plain time" % (100 * worst))

    print("\n== A C++ file as one listing")
    cmb = 0.2 if quick else 2
    prefix = work / ("code%g" % cmb)
    subprocess.run([sys.executable, str(HERE / "gen_twin.py"), "--cpp", str(cmb), str(prefix)], check=True)
    progs = {"norvelle": [plain_dir / "norvelle", "--batch", str(prefix) + ".txt"]}
    if highlight:
        progs["source-highlight"] = [highlight, "-s", "cpp", "-f", "html", "-i", str(prefix) + ".cpp",
                                     "-o", str(out / "hl.html")]
    res = beside(progs, ("listing %g MB" % cmb, 1 if quick else 100))
    line = "%g MB: Norvelle %.3f s" % (cmb, res["norvelle"][0])
    if highlight:
        line += ", source-highlight %.3f s: Norvelle %.0fx its throughput" % (
            res["source-highlight"][0], res["source-highlight"][0] / res["norvelle"][0])
    print(line)

    pmb = 1 if quick else 10
    profiles(plain_dir, [("plain %g MB" % pmb, twin(work, pmb)[1]), ("listing %g MB" % cmb, str(prefix) + ".txt")],
             1 if quick else 9)
    print("\n== A one-line document, start to exit (the 130-entry list for Norvelle)")
    one_md, one_txt = work / "one.md", work / "one.txt"
    one_md.write_text("A one-line document.\n")
    one_txt.write_bytes(b"A one-line document.\r\n")
    res = rounds({"md4c": [md4c, one_md, out / "one.html"], "norvelle": [plain_dir / "norvelle", "--batch", one_txt],
                  "norvelle+rules": [rules_dir / "norvelle", "--batch", one_txt]}, 1 if quick else 41)
    print("  ".join("%s %.2f ms" % (k, v[0] * 1000) for k, v in res.items()) +
          "  (Norvelle at %.2fx md4c's time)" % (res["norvelle"][0] / res["md4c"][0]))

    print("\n== 1 MB, start to exit")
    r1 = results[1]
    print("  ".join("%s %.1f ms" % (k, v[0] * 1000) for k, v in r1.items()) +
          "  (Norvelle at %.2fx md4c's time)" % (r1["norvelle"][0] / r1["md4c"][0]))

    if len(sizes) > 1:
        print("\n== Linearity of Norvelle (time per MB; ratio of the time to that of the size 10x smaller)")
        prev = None
        for mb in sizes:
            sec = results[mb]["norvelle"][0]
            ratio = "" if prev is None else "%.2f" % (sec / prev)
            print("%-8s %9.3f s %9.2f ms/MB %8s" % ("%g MB" % mb, sec, sec * 1000 / mb, ratio))
            prev = sec

    if compared:
        print("\n== Before (%s) and now, side by side in the same rounds" % against)
        print("%-20s %10s %10s %10s" % ("row", "before s", "now s", "now/before"))
        for row, before, now in compared:
            print("%-20s %10.4f %10.4f %10.3f" % (row, before, now, now / before))


if __name__ == "__main__":
    main(sys.argv[1:])
