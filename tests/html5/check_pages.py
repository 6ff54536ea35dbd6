#!/usr/bin/python3
"""Converts every end-to-end example, the tour and two twin documents in the
HTML5 profile and checks each page with what Debian ships:

- html5lib's parser (the HTML5 parsing algorithm): no parse error;
- tidy in its HTML5 mode: no error and no warning;
- our own list: no obsolete element or attribute, every attribute value
  quoted, every img with alt, no block inside inline formatting or inside a
  heading, the doctype, the lang and a meta charset that matches the
  encoding the page is in.

Usage: check_pages.py NORVELLE_BIN SOURCE_DIR
Exit status 0 when every page passes; each failure is one line on stdout.
(The Nu HTML checker needs the npm registry, which the build machine cannot
reach; these three stand in for it.)
"""
import html.parser
import os
import re
import shutil
import subprocess
import sys
import tempfile

import html5lib

# Examples whose own text is HTML that the author writes (raw tags, noconv
# text, replacement snippets): the program copies it as it is in both
# profiles, so it is the author's to keep valid. name -> why.
AUTHOR_HTML = {
    "raw tags": "|-x|, |+x| and |/x| write the author's tags",
    "start, stop and their no-break forms": "stop text <x> is the author's HTML",
    "exact word with conversion and without": "noconv text <x> is the author's HTML",
    "setrep before rep, out-of-range slots": "the replace slot <hr2> is the author's HTML",
    "ini switches header, footer, join key and tab stop (tab string kept)": "the rule's footer </e>",
    "unfilled numbered markers are removed, bare one stays": "the rule's footer keeps <exrep>",
    "plain under conv uses the raw join key": "plain text b< is the author's HTML",
    "lconv under noconv": "noconv text <i> is the author's HTML",
    "listing after a rule switch with other colours uses styles": "the rule switched to has an empty header",
}

# The checker itself must see what it is there to see.
BAD_PAGE = ('<!DOCTYPE html>\n<html lang="ja"><head><meta charset="UTF-8"><title>t</title></head><body>'
            '<b><h2>x</h2></b><font color=red>y</font><img src="a.png"><a name="n">z</a>'
            '<table border="2"><tr><td width="5">c</table></body></html>')
BAD_WANTED = ["<h2> inside <b>", "obsolete element <font>", "unquoted value color=red", "img without alt",
              "obsolete attribute name on <a>", "table border='2'", "obsolete attribute width on <td>"]

OBSOLETE_ELEMENTS = {
    "acronym", "applet", "basefont", "bgsound", "big", "blink", "center", "dir", "font", "frame",
    "frameset", "isindex", "keygen", "listing", "marquee", "menuitem", "multicol", "nextid", "nobr",
    "noembed", "noframes", "plaintext", "rb", "rtc", "spacer", "strike", "tt", "xmp",
}
# attribute -> elements on which it is obsolete ("*": on any)
OBSOLETE_ATTRS = {
    "align": "*", "bgcolor": "*", "background": "*", "valign": "*", "nowrap": "*", "clear": "br",
    "border": "img object", "cellpadding": "table", "cellspacing": "table", "frame": "table",
    "rules": "table", "summary": "table", "width": "td th hr table col colgroup pre",
    "height": "td th table tr", "noshade": "hr", "size": "hr", "color": "hr", "face": "*",
    "name": "a img", "hspace": "*", "vspace": "*", "language": "script", "charset": "a link",
    "link": "body", "text": "body", "vlink": "body", "alink": "body", "type": "li ul ol",
}
# Elements whose content is phrasing only, and the blocks that must not stand in them.
PHRASING_ONLY = {"b", "i", "code", "span", "small", "em", "strong", "u", "s", "a", "kbd", "sub", "sup",
                 "h1", "h2", "h3", "h4", "h5", "h6", "pre", "p"}
BLOCKS = {"div", "table", "hr", "h1", "h2", "h3", "h4", "h5", "h6", "pre", "p", "ul", "ol", "dl",
          "blockquote", "center"}
VOID = {"br", "hr", "img", "meta", "link", "input", "wbr", "col", "area", "base", "source"}
# End tags that HTML may leave out, closed when a sibling starts.
IMPLIED = {"td": {"td", "th", "tr"}, "th": {"td", "th", "tr"}, "tr": {"tr"}, "p": BLOCKS}


class Checker(html.parser.HTMLParser):
    """Walks the tags as written and collects what a validator would say."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.problems = []
        self.stack = []

    def where(self):
        return "line %d" % self.getpos()[0]

    def handle_starttag(self, tag, attrs):
        raw = self.get_starttag_text()
        if tag in OBSOLETE_ELEMENTS:
            self.problems.append("%s: obsolete element <%s>" % (self.where(), tag))
        for name, value in attrs:
            on = OBSOLETE_ATTRS.get(name)
            if on and (on == "*" or tag in on.split()) and not (name == "border" and tag == "table"):
                self.problems.append("%s: obsolete attribute %s on <%s>" % (self.where(), name, tag))
            if tag == "table" and name == "border" and value not in ("", "1"):
                self.problems.append("%s: table border=%r (only 1 or \"\")" % (self.where(), value))
        for m in re.finditer(r'\s([^\s=/>"]+)\s*=\s*([^\s"\'>][^\s>]*)', raw):
            self.problems.append("%s: unquoted value %s=%s" % (self.where(), m.group(1), m.group(2)))
        if tag == "img" and "alt" not in dict(attrs):
            self.problems.append("%s: img without alt" % self.where())
        while self.stack and tag in IMPLIED.get(self.stack[-1], ()):
            self.stack.pop()
        if tag in BLOCKS:
            inside = [t for t in self.stack if t in PHRASING_ONLY]
            if inside:
                self.problems.append("%s: <%s> inside <%s>" % (self.where(), tag, inside[-1]))
        if tag not in VOID:
            self.stack.append(tag)

    def handle_endtag(self, tag):
        if tag in self.stack:
            while self.stack and self.stack.pop() != tag:
                pass


def check_page(path, encoding):
    data = open(path, "rb").read()
    text = data.decode("cp932" if encoding == "Shift_JIS" else "utf-8")
    problems = []
    if not text.startswith("<!DOCTYPE html>"):
        problems.append("no <!DOCTYPE html> at the start")
    if not re.search(r'<html lang="[^"]+">', text):
        problems.append("no <html lang=...>")
    m = re.search(r'<meta charset="([^"]*)">', text)
    if not m or m.group(1) != encoding:
        problems.append("meta charset %s, page is %s" % (m.group(1) if m else "missing", encoding))
    parser = html5lib.HTMLParser()
    parser.parse(data, transport_encoding="shift_jis" if encoding == "Shift_JIS" else "utf-8")
    problems += ["html5lib: line %d: %s %s" % (pos[0], code, args or "") for pos, code, args in parser.errors]
    tidy = subprocess.run(["tidy", "-q", "-e", "-utf8", "--show-warnings", "yes"],
                          input=text.replace('charset="Shift_JIS"', 'charset="UTF-8"').encode("utf-8"),
                          capture_output=True)
    problems += ["tidy: " + l for l in tidy.stderr.decode("utf-8", "replace").splitlines()
                 if re.match(r"line \d+ column \d+ - ", l)]
    checker = Checker()
    checker.feed(text)
    checker.close()
    problems += checker.problems
    return problems


def examples(source_dir):
    """(name, source text, rules file, files) of every end-to-end example."""
    cases = os.path.join(source_dir, "tests/e2e/cases")
    for case in sorted(os.listdir(cases)):
        part, head = None, None
        for line in open(os.path.join(cases, case), encoding="utf-8").read().split("\n"):
            if line.startswith("```` example"):
                head, part = line[12:].split(), [[]]
            elif head is not None and line == "````":
                rules = next((w[6:] for w in head if w.startswith("rules=")), "empty.ini")
                files = next((w[6:].split(",") for w in head if w.startswith("files=")), [])
                name = " ".join(w for w in head if "=" not in w)
                yield name, "\n".join(part[0]).replace("\u2192", "\t"), rules, files
                head = None
            elif head is not None and line == "." and len(part) < 3:
                part.append([])
            elif head is not None:
                part[-1].append(line)


def convert(norvelle, doc, *options):
    run = subprocess.run([norvelle, "--batch", "-q", "--html5", *options, doc], capture_output=True)
    if run.returncode not in (0, 1):
        return "exit status %d: %s" % (run.returncode, run.stderr.decode("utf-8", "replace"))
    return None


def main():
    norvelle, source_dir = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    work = tempfile.mkdtemp(prefix="html5-pages-")
    pages = []  # (label, page, encoding)
    failures = []
    bad = os.path.join(work, "bad.htm")
    open(bad, "w", encoding="utf-8").write(BAD_PAGE)
    said = "\n".join(check_page(bad, "UTF-8"))
    failures += ["the checker missed %r" % w for w in BAD_WANTED if w not in said]
    if "tidy:" not in said or "html5lib:" in said:
        failures.append("tidy said nothing of the bad page, or html5lib saw a parse error in it:\n" + said)
    rules_dir = os.path.join(source_dir, "tests/e2e/rules")
    names = {e[0] for e in examples(source_dir)}
    failures += ["no example %r (AUTHOR_HTML)" % n for n in AUTHOR_HTML if n not in names]
    for n, (name, source, rules, files) in enumerate(examples(source_dir)):
        if name in AUTHOR_HTML:
            continue
        d = os.path.join(work, "e%03d" % n)
        shutil.copytree(os.path.join(rules_dir, "qdx"), os.path.join(d, "qdx"))
        for f in files:
            shutil.copy(os.path.join(source_dir, "tests/e2e/files", f), d)
        doc = os.path.join(d, "doc.txt")
        open(doc, "wb").write(source.encode("cp932"))
        # html5.ini's empty frame is for the byte comparison; here the page is whole
        rules = "empty.ini" if rules == "html5.ini" else rules
        err = convert(norvelle, doc, "--rules", os.path.join(rules_dir, rules))
        if err:
            failures.append("example %r: %s" % (name, err))
        pages.append(("example %r" % name, os.path.join(d, "doc.htm"), "Shift_JIS"))
    tour = os.path.join(work, "tour")
    shutil.copytree(os.path.join(source_dir, "examples"), tour)
    for enc, options in (("Shift_JIS", []), ("UTF-8", ["-e", "utf-8"])):
        doc = os.path.join(tour, "tour.txt" if enc == "Shift_JIS" else "tour-utf8.txt")
        if enc == "UTF-8":
            open(doc, "wb").write(open(os.path.join(tour, "tour.txt"), "rb").read().decode("cp932").encode())
        err = convert(norvelle, doc, *options)
        if err:
            failures.append("tour %s: %s" % (enc, err))
        pages.append(("tour " + enc, doc[:-4] + ".htm", enc))
    gen = os.path.join(source_dir, "bench/gen_twin.py")
    for kind, args in (("twin", ["0.2"]), ("listing twin", ["--cpp", "0.05"])):
        prefix = os.path.join(work, kind.replace(" ", "-"))
        subprocess.run([sys.executable, gen, *args, prefix], check=True, capture_output=True)
        err = convert(norvelle, prefix + ".txt")
        if err:
            failures.append("%s: %s" % (kind, err))
        pages.append((kind, prefix + ".htm", "Shift_JIS"))
    for label, page, enc in pages:
        if not os.path.exists(page):
            failures.append("%s: no page written" % label)
            continue
        failures += ["%s: %s" % (label, p) for p in check_page(page, enc)]
    for f in failures:
        print(f)
    print("%d pages checked, %d problems" % (len(pages), len(failures)))
    shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
