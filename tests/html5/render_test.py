#!/usr/bin/python3
"""The tour in both profiles, rendered by headless Chromium at one size, must
look the same: the screenshots are compared pixel by pixel once the rows of
bare background are dropped from both. (The legacy page is shown in quirks
mode, the HTML5 page in standards mode: lines of small or fixed-width text
stand a few pixels apart there, which moves everything below. Dropping the
empty rows compares what is drawn, line by line, and not the spacing.)

Usage: render_test.py NORVELLE SOURCE_DIR [SHOTS_DIR]
Exit 0 when at most LIMIT pixels differ; 77 (skipped) without chromium or
ImageMagick.
"""
import os
import shutil
import subprocess
import sys
import tempfile

WIDTH, HEIGHT = 820, 2400
# Pixels that may differ: a little anti-aliasing. Losing the centring of the
# tour's one centred line alone costs about a thousand.
LIMIT = 200
FUZZ = 26      # a channel may differ by this much (about a tenth)


def shoot(norvelle, source_dir, work, profile, png):
    d = os.path.join(work, profile)
    shutil.copytree(os.path.join(source_dir, "examples"), d)
    opts = ["--html5"] if profile == "html5" else []
    subprocess.run([norvelle, "--batch", "-q", *opts, "tour.txt"], cwd=d, check=True)
    subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                    "--user-data-dir=" + os.path.join(work, "chrome-" + profile),
                    "--window-size=%d,%d" % (WIDTH, HEIGHT), "--screenshot=" + png,
                    "file://" + os.path.join(d, "tour.htm")],
                   check=True, capture_output=True, timeout=180, env=dict(os.environ, HOME=work))


def rows(png, work):
    """The image's rows of RGB bytes (decoded by ImageMagick into PPM)."""
    ppm = os.path.join(work, os.path.basename(png) + ".ppm")
    subprocess.run(["convert", png, "-alpha", "off", "-depth", "8", ppm], check=True)
    data = open(ppm, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:  # P6 width height maxval, then one blank
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    w, h = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:]
    return [pixels[y * w * 3:(y + 1) * w * 3] for y in range(h)]


def differing(a, b):
    return sum(1 for i in range(0, len(a), 3) if max(abs(a[i + k] - b[i + k]) for k in range(3)) > FUZZ)


def drawn(image):
    background = image[-1][:3]  # the page's own colour
    blank = background * (len(image[0]) // 3)
    return [r for r in image if r != blank]


def main():
    norvelle, source_dir = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    if not shutil.which("chromium") or not shutil.which("convert"):
        print("no chromium or ImageMagick: skipped")
        return 77
    work = tempfile.mkdtemp(prefix="tour-render-")
    shots = sys.argv[3] if len(sys.argv) > 3 else work
    os.makedirs(shots, exist_ok=True)
    images = {}
    for profile in ("html401", "html5"):
        png = os.path.join(shots, "tour-%s.png" % profile)
        shoot(norvelle, source_dir, work, profile, png)
        images[profile] = rows(png, work)
    a, b = images["html401"], images["html5"]
    raw = sum(differing(x, y) for x, y in zip(a, b))
    a, b = drawn(a), drawn(b)
    width = len(a[0]) // 3 if a else 0
    diff = sum(differing(x, y) for x, y in zip(a, b)) + abs(len(a) - len(b)) * width
    total = max(len(a), len(b)) * width
    print("drawn rows: %d and %d; pixels that differ: %d of %d (at most %d); as shot, unaligned: %d"
          % (len(a), len(b), diff, total, LIMIT, raw))
    shutil.rmtree(work, ignore_errors=True)
    return 0 if total and diff <= LIMIT else 1


if __name__ == "__main__":
    sys.exit(main())
