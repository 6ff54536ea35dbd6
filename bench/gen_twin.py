#!/usr/bin/env python3
"""Writes one deterministic document twice: as Markdown (UTF-8) and in
Norvelle markup (CP932), with the same lines and words, so that the two
converters can be timed on equal work.

Usage: gen_twin.py SIZE_MB OUT_PREFIX [--seed N]
   writes OUT_PREFIX.md, OUT_PREFIX.txt (SIZE_MB is the Markdown size)
       gen_twin.py --rules OUT.ini
   writes an auto-replace rule file of 100 exact, 20 search and 10 pattern
   entries drawn from the corpus' words (CP932).
       gen_twin.py --list N OUT.ini [--seed S]
   writes a rule file of N entries of every kind and pattern shape, drawn
   from the corpus' words by the seed: about 3/4 exact, 1/6 search, the
   rest patterns.
       gen_twin.py --shape NAME OUT.ini
   writes a rule file of the one pattern of that shape (--shapes lists them).
       gen_twin.py --cpp SIZE_MB OUT_PREFIX
   writes one C++ file (OUT_PREFIX.cpp) and the same lines as one listing
   (OUT_PREFIX.txt).

The mix: prose paragraphs of English and Japanese words, headings, bold and
italic words (element numbers in Norvelle), links, lists, tables and C++ code
blocks (coloured listings in Norvelle).
"""
import random
import sys

ENGLISH = ("the quick brown fox jumps over a lazy dog while writers keep pages as "
           "text and want exact predictable html fast from command line every "
           "morning editor opens file saves page converts again table row cell "
           "value colour color listing source code rule replace word pattern "
           "search exact kind header footer title date time link image anchor "
           "span font size bold italic heading block centre list item number "
           "count total sum result output input reader writer builder printer "
           "parser scanner matcher compiler engine window dialog button label "
           "field menu option setting version manual example tour release "
           "report error warning notice message status progress cancel close "
           "open save apply new old first last next previous inside outside "
           "early late small large short long quiet loud plain rich simple").split()
JAPANESE = ["日本語", "文章", "変換", "表示", "能力", "構造", "見出し", "予定表", "漢字",
            "ひらがな", "カタカナ", "設定", "置換", "一覧", "作成", "保存", "開始", "終了",
            "文字列", "注釈", "行数", "定数", "記号", "段落", "表", "画像", "連結", "分割",
            "確認", "編集"]
CPP = [
    "int count_words(const char* text, int limit) {",
    "\tint total = 0;  // words seen so far",
    "\tfor (int i = 0; text[i] != '\\0' && i < limit; ++i) {",
    "\t\tif (text[i] == ' ') total += 1;  /* a blank ends a word */",
    "\t}",
    "\tstd::printf(\"%d words, %s\\n\", total, \"done\");",
    "\treturn total * 2 + 0x1F;",
    "}",
]


def words(rng, n):
    return [rng.choice(JAPANESE) if rng.random() < 0.25 else rng.choice(ENGLISH) for _ in range(n)]


def block(rng):
    """One block as (markdown lines, norvelle lines)."""
    r = rng.random()
    if r < 0.55:  # a paragraph of one to four lines
        lines = [" ".join(words(rng, rng.randint(6, 14))) for _ in range(rng.randint(1, 4))]
        return lines + [""], lines + [""]
    if r < 0.70:  # bold and italic words
        w = words(rng, rng.randint(6, 12))
        b, i = rng.randrange(len(w)), rng.randrange(len(w))
        if b == i:
            i = (i + 1) % len(w)
        md = ["**%s**" % x if k == b else "*%s*" % x if k == i else x for k, x in enumerate(w)]
        return [" ".join(md), ""], ["|%db,%di|%s" % (b, i, " ".join(w)), ""]
    if r < 0.76:  # heading
        level = rng.randint(1, 3)
        w = " ".join(words(rng, rng.randint(2, 5)))
        return ["#" * level + " " + w, ""], ["|h%d|%s" % (level, w)]
    if r < 0.83:  # link
        w = " ".join(words(rng, rng.randint(2, 6)))
        url = "https://example.com/%s/%d.html" % (rng.choice(ENGLISH), rng.randint(1, 999))
        return ["[%s](%s)" % (w, url), ""], ["|link=%s|%s" % (url, w), ""]
    if r < 0.90:  # list
        items = [" ".join(words(rng, rng.randint(3, 8))) for _ in range(rng.randint(3, 6))]
        return (["- " + x for x in items] + [""],
                ["|-ul|"] + ["|+li,noautobr|" + x for x in items] + ["|/ul|"])
    if r < 0.96:  # table
        cols = 3
        head = words(rng, cols)
        rows = [words(rng, cols) for _ in range(rng.randint(2, 5))]
        md = ["| " + " | ".join(head) + " |", "|" + "---|" * cols]
        md += ["| " + " | ".join(row) + " |" for row in rows]
        nv = ["|table=border=1|" + "\t".join(head)] + ["\t".join(row) for row in rows] + ["|endtable|"]
        return md + [""], nv
    return ["```cpp"] + CPP + ["```", ""], ["|cppsrc|"] + CPP + ["|endcppsrc|"]


def write_twin(size_mb, prefix, seed):
    rng = random.Random(seed)
    target = int(size_mb * 1000 * 1000)
    written = 0
    with open(prefix + ".md", "wb") as md, open(prefix + ".txt", "wb") as nv:
        md_chunk, nv_chunk = [], []
        while written < target:
            m, n = block(rng)
            data = ("\n".join(m) + "\n").encode("utf-8")
            md_chunk.append(data)
            written += len(data)
            nv_chunk.append(("\r\n".join(n) + "\r\n").encode("cp932"))
            if len(md_chunk) > 4096:
                md.write(b"".join(md_chunk))
                nv.write(b"".join(nv_chunk))
                md_chunk, nv_chunk = [], []
        md.write(b"".join(md_chunk))
        nv.write(b"".join(nv_chunk))


def escape_key(word):
    return (word.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t")
            .replace("/", "\\s").replace("=", "\\e"))


# Patterns as a user writes them: a word followed by "(", a quoted phrase,
# alternatives, optional letters, numbers, capitals, web addresses.
PATTERNS = [
    ("%{%/1s%}(", "<code>%0v</code>("),
    ("&quot;%{%+C%}&quot;", "<q>%0v</q>"),
    ("%{%[%(colour%)%(color%)%]%}", "<span class=\"c\">%0v</span>"),
    ("colo%0,1(u%)r", "<i>%1</i>"),
    ("%{%/1d%}%%", "<b>%0v%%</b>"),
    ("%{%/1d%}-%{%/1d%}", "%0v&ndash;%1v"),
    ("%{%+1l%}ing%$", "<em>%0v</em>ing"),
    ("%^%A%/0a%$", "<span class=\"cap\">%1</span>"),
    ("http%0,1(s%)://%/1I", "<a href=\"%1\">%1</a>"),
    ("%{%[%(見出し%)%(予定表%)%]%}", "<mark>%0v</mark>"),
]


def write_rules(path):
    rng = random.Random(7)
    vocab = sorted(set(ENGLISH) | set(JAPANESE))
    rng.shuffle(vocab)
    exact = vocab[:100]
    search = ["ing", "tion", "er", "ou", "ea", "st", "表", "文", "設", "換",
              "qu", "ck", "pro", "out", "ver", "ll", "oo", "ee", "tt", "pp"]
    lines = ["[AutoReplaceList]"]
    lines += ["\t%s=M:<b>%%1</b>" % escape_key(w) for w in exact]
    lines += ["\t%s=I:<u>%%1</u>" % escape_key(w) for w in search]
    lines += ["\t%s=R:%s" % (escape_key(p), t) for p, t in PATTERNS]
    lines.append("[EndSection]")
    with open(path, "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("cp932"))


# Pattern shapes: the examples of docs/rules.md and what users write. Each is
# (name, pattern, template); in the pattern {w} is a corpus word, {x} and {y}
# two others, {c} a letter of a word, {s} the last three letters of a word,
# {o} a word cut around an optional letter, {J} a Japanese word.
SHAPES = [
    ("digit", "%d", "<b>%1</b>"),
    ("not-digit", "%!d", "<b>%1</b>"),
    ("three-digits", "%3d", "<b>%1</b>"),
    ("two-to-four-digits", "%2,4d", "<b>%1</b>"),
    ("digit-run-or-none", "%/0d", "[%1]"),
    ("digit-run", "%{%/1d%}", "<b>%0v</b>"),
    ("letter-run", "%{%/1l%}", "<i>%0v</i>"),
    ("lazy-to-letter", "%+j{c}", "<i>%1</i>"),
    ("greedy-to-letter", "%*j{c}", "<i>%1</i>"),
    ("lower-run-then-suffix", "%*a{s}", "<i>%1</i>"),
    ("class-class", "%A%a", "<i>%1</i>"),
    ("digit-letter", "%d%l", "<i>%1</i>"),
    ("two-letters", "%[{c}{c}%]", "<i>%1</i>"),
    ("percent-or-letter", "%[%%{c}%]", "<i>%1</i>"),
    ("two-words", "%{%[%({w}%)%({x}%)%]%}", "<span>%0v</span>"),
    ("optional-letter", "{o}", "<i>%1</i>"),
    ("word-negated-class", "{w}%S", "<i>%1</i>"),
    ("suffix-not-letter", "{s}%b", "<i>%1</i>"),
    ("mail", "%{%+l%}@%{%*j%}", "%0v at %0V"),
    ("mail-capture-end", "%{%+l%e@%}%{%*j%}", "%0v at %0V"),
    ("nested-captures", "%{{c}%{{c}%}%}", "%0v%0V"),
    ("double-letter", "%{%l%}%0v", "<u>%1</u>"),
    ("dropped-escape", "{c}%q{c}", "<i>%1</i>"),
    ("capital-start", "%^%A%l", "<i>%1</i>"),
    ("letter-at-end", "%l%$", "<i>%1</i>"),
    ("key-colon", "%{%+j%e:%}", "<dt>%0v</dt>"),
    ("digits-then-letter", "%{%/d%}%p%l", "<b>%0v</b>"),
    ("signed-number", "%0,1(-%)%/d", "<b>%1</b>"),
    ("ranges", "%-af%-09", "<i>%1</i>"),
    ("japanese", "%J", "<span>%1</span>"),
    ("path-prefix", "%{%*j%e%[\\/%]%}", "<i>%0v</i>"),
    ("single-byte", "%?", "<i>%1</i>"),
    ("japanese-printable", "%J%K", "<i>%1</i>"),
    ("white", "%W", "<i>%1</i>"),
    ("z-operand", "%3z{c}", "<i>%1</i>"),
    ("external", "%U", "<i>%1</i>"),
    ("empty-hit", "%{%l%}%T", "<i>%1</i>"),
    ("drop-hit", "%{%l%}%{%d%}%H", "<i>%1</i>"),
    ("keep-hits", "%{%l%}%{%l%}%{%l%}%1h", "<i>%1</i>"),
    ("copy-hit", "%{%l%}%2t", "<i>%1</i>"),
    ("newest-hit", "%{%l%}%{%l%}%1V", "<i>%1</i>"),
    ("word-suffix-at-end", "%{%+1l%}{s}%$", "<em>%0v</em>"),
    ("quoted", "&quot;%{%+C%}&quot;", "<q>%0v</q>"),
    ("japanese-word", "%{{J}%}", "<mark>%0v</mark>"),
]


def fill(pattern, rng):
    """A shape's pattern with its holes filled from the corpus' words."""
    def word(min_len=1):
        return rng.choice([w for w in ENGLISH if len(w) >= min_len])
    subs = {"w": lambda: word(), "x": lambda: word(), "c": lambda: rng.choice(word()),
            "s": lambda: word(4)[-3:], "J": lambda: rng.choice(JAPANESE)}

    def optional():
        w = word(4)
        k = rng.randrange(1, len(w) - 1)
        return "%s%%0,1(%s%%)%s" % (w[:k], w[k], w[k + 1:])
    subs["o"] = optional
    out, i = [], 0
    while i < len(pattern):
        if pattern[i] == "{" and i + 2 < len(pattern) and pattern[i + 2] == "}" and pattern[i + 1] in subs:
            out.append(subs[pattern[i + 1]]())
            i += 3
        else:
            out.append(pattern[i])
            i += 1
    return "".join(out)


def write_entries(path, entries):
    lines = ["[AutoReplaceList]"] + ["\t%s=%s" % (escape_key(k), v) for k, v in entries] + ["[EndSection]"]
    with open(path, "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("cp932"))


def write_shape(name, path):
    shape = [s for s in SHAPES if s[0] == name]
    if not shape:
        sys.exit("gen_twin: no shape %r (--shapes lists them)" % name)
    _, pattern, tmpl = shape[0]
    write_entries(path, [(fill(pattern, random.Random(name)), "R:" + tmpl)])


def write_list(n, path, seed):
    """n entries of every kind; words may repeat, as in real lists (the
    first entry of an exact word wins)."""
    rng = random.Random(seed)
    vocab = ENGLISH + JAPANESE
    entries = []
    for i in range(n):
        r = rng.random()
        if r < 0.75:
            w = rng.choice(vocab)
            if rng.random() < 0.3:
                w += rng.choice([",", ".", "s", "ed"])
            entries.append((w, "M:<b>%1</b>"))
        elif r < 0.92:
            w = rng.choice(vocab)
            k = rng.randrange(len(w))
            entries.append((w[k:k + rng.randint(1, 3)], "I:<u>%1</u>"))
        else:
            _, pattern, tmpl = SHAPES[rng.randrange(len(SHAPES))]
            entries.append((fill(pattern, rng), "R:" + tmpl))
    write_entries(path, entries)


def write_cpp(size_mb, prefix):
    target = int(size_mb * 1000 * 1000)
    body = []
    n = 0
    while n < target:
        for line in CPP:
            body.append(line)
            n += len(line) + 1
    with open(prefix + ".cpp", "wb") as f:
        f.write(("\n".join(body) + "\n").encode("ascii"))
    with open(prefix + ".txt", "wb") as f:
        f.write(("\r\n".join(["|cppsrc|"] + body + ["|endcppsrc|"]) + "\r\n").encode("ascii"))


def main(argv):
    if len(argv) >= 2 and argv[0] == "--rules":
        write_rules(argv[1])
    elif argv and argv[0] == "--shapes":
        print("\n".join(name for name, _, _ in SHAPES))
    elif len(argv) >= 3 and argv[0] == "--shape":
        write_shape(argv[1], argv[2])
    elif len(argv) >= 3 and argv[0] == "--list":
        seed = int(argv[argv.index("--seed") + 1]) if "--seed" in argv else 1
        write_list(int(argv[1]), argv[2], seed)
    elif len(argv) >= 3 and argv[0] == "--cpp":
        write_cpp(float(argv[1]), argv[2])
    elif len(argv) >= 2:
        seed = int(argv[argv.index("--seed") + 1]) if "--seed" in argv else 1
        write_twin(float(argv[0]), argv[1], seed)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
