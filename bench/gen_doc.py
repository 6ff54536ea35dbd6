#!/usr/bin/env python3
"""Writes a deterministic marked-up document of about SIZE bytes (CP932).

Usage: gen_doc.py SIZE_IN_MB OUTPUT [--seed N]

The mix resembles a real page: mostly plain paragraphs of ASCII and Japanese
words, with bold/italic/colour lines, headings, element numbers, tables and
short C++ listings sprinkled in.
"""
import random
import sys

ASCII_WORDS = ("the quick brown fox jumps over a lazy dog while writers keep "
               "pages as text and want exact predictable html fast from the "
               "command line <tag> & \"quotes\"").split()
JAPANESE_WORDS = ["日本語", "文章", "変換", "表示", "ソフト", "能力", "構造", "見出し",
                  "テキスト", "予定表", "漢字", "ひらがな"]

CPP = [
    "int main(int argc, char** argv) {",
    "\tconst char* s = \"text \\\" quoted\";  // comment",
    "\tfor (int i = 0; i < 10; ++i) { total += i * 1.5e+3; }",
    "\t/* block comment */ return 0x1F;",
    "}",
]


def paragraph(rng):
    words = []
    for _ in range(rng.randint(6, 18)):
        words.append(rng.choice(JAPANESE_WORDS) if rng.random() < 0.3 else rng.choice(ASCII_WORDS))
    if rng.random() < 0.2:
        words.insert(rng.randint(0, len(words)), "\t")
    return " ".join(words)


def block(rng):
    r = rng.random()
    if r < 0.70:
        return [paragraph(rng)]
    if r < 0.78:
        return ["|b|" + paragraph(rng)]
    if r < 0.83:
        return ["|1i,2b|" + paragraph(rng)]
    if r < 0.87:
        return ["|color=#c00000,size=2|" + paragraph(rng)]
    if r < 0.90:
        return ["|h2|" + paragraph(rng)[:40]]
    if r < 0.93:
        return ["|link=page.htm|" + paragraph(rng)]
    if r < 0.96:
        rows = ["|table=border=1|Name\tValue\tNote"]
        for i in range(rng.randint(2, 5)):
            rows.append("row%d\t%d\t%s" % (i, rng.randint(0, 999), rng.choice(JAPANESE_WORDS)))
        rows.append("|endtable|")
        return rows
    if r < 0.98:
        return ["|cppsrc|"] + CPP + ["|endcppsrc|"]
    return ["|center|" + paragraph(rng), "|br|" + paragraph(rng)]


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    size = int(float(sys.argv[1]) * 1024 * 1024)
    seed = int(sys.argv[sys.argv.index("--seed") + 1]) if "--seed" in sys.argv else 1
    rng = random.Random(seed)
    written = 0
    with open(sys.argv[2], "wb") as out:
        chunk = []
        while written < size:
            for line in block(rng):
                data = (line + "\r\n").encode("cp932")
                chunk.append(data)
                written += len(data)
            if len(chunk) > 4096:
                out.write(b"".join(chunk))
                chunk = []
        out.write(b"".join(chunk))


if __name__ == "__main__":
    main()
