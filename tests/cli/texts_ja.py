#!/usr/bin/env python3
"""The Japanese texts of the message catalogue carry every argument the
English ones do.

Every pair of texts that printf formats, T(ja, en) / TOOL(ja, en) in
engines/messages.cpp and any `kJapanese ? ja : en` written out in cli/,
engines/, integrity/ and platform/posix/, must hold the same printf
directives in the same order: otherwise one language prints another
argument, or reads one that was never passed. A pair whose arguments are
not plain string literals is left out. (parvex's own texts are in
po/ja.po, which msgfmt --check checks the same way.)

    texts_ja.py [SOURCE_DIR]
"""
import glob
import os
import re
import sys

# No flag for a blank: "N% of the pieces" is text, not "% o" (parvex never
# formats with that flag).
DIRECTIVE = re.compile(
    r"%(?:%|[-+#0']*(?:\*|\d+)?(?:\.(?:\*|\d+))?"
    r"(?:hh|h|ll|l|L|z|j|t|q)?[diouxXcsSpfFeEgGaAnC])")


def tokens(text):
    """(kind, value, line) for the C++ tokens that matter here: string
    literals (value unescaped only as far as the directives need), names
    and single punctuation characters. Comments and character literals
    are skipped."""
    i, line, n = 0, 1, len(text)
    while i < n:
        c = text[i]
        if c == "\n":
            line += 1
            i += 1
        elif c.isspace():
            i += 1
        elif text.startswith("//", i):
            while i < n and text[i] != "\n":
                i += 1
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            line += text.count("\n", i, end)
            i = end
        elif c == '"' or (c in "uUL" and re.match(r'(?:u8|u|U|L)"', text[i:i + 3])):
            start_line = line
            i = text.index('"', i) + 1
            value = []
            while i < n and text[i] != '"':
                if text[i] == "\\" and i + 1 < n:
                    nxt = text[i + 1]
                    value.append({"n": "\n", "t": "\t", '"': '"', "\\": "\\",
                                  "'": "'"}.get(nxt, "\\" + nxt))
                    i += 2
                    continue
                if text[i] == "\n":
                    line += 1
                value.append(text[i])
                i += 1
            i += 1
            yield ("str", "".join(value), start_line)
        elif c == "'":
            i += 1
            while i < n and text[i] != "'":
                i += 2 if text[i] == "\\" else 1
            i += 1
        elif c.isalpha() or c == "_":
            m = re.match(r"[A-Za-z_][A-Za-z_0-9]*", text[i:])
            yield ("name", m.group(0), line)
            i += len(m.group(0))
        elif c.isdigit():
            m = re.match(r"[0-9A-Za-z_.']+", text[i:])
            i += len(m.group(0))
        else:
            yield ("punct", c, line)
            i += 1


def calls(path, names):
    """(name, line, args) for every call of one of NAMES in PATH; each
    argument is the concatenated literal, or None when it is anything but
    string literals."""
    with open(path, encoding="utf-8") as f:
        toks = list(tokens(f.read()))
    for k, (kind, value, line) in enumerate(toks):
        if kind != "name" or value not in names:
            continue
        if k + 1 >= len(toks) or toks[k + 1][:2] != ("punct", "("):
            continue
        if k > 0 and toks[k - 1][:2] == ("name", "define"):
            continue
        depth, args, cur, j = 0, [], [], k + 2
        while j < len(toks):
            t = toks[j]
            if t[0] == "punct" and t[1] in "([{":
                depth += 1
            elif t[0] == "punct" and t[1] in ")]}":
                if depth == 0:
                    break
                depth -= 1
            if depth == 0 and t[:2] == ("punct", ","):
                args.append(cur)
                cur = []
            else:
                cur.append(t)
            j += 1
        args.append(cur)
        literal = []
        for a in args:
            if a and all(t[0] == "str" for t in a):
                literal.append("".join(t[1] for t in a))
            else:
                literal.append(None)
        yield value, line, literal


def ternaries(path):
    """(line, en, ja) for every `... kJapanese ? "ja" : "en"` whose two
    branches are plain string literals."""
    with open(path, encoding="utf-8") as f:
        toks = list(tokens(f.read()))

    def literal(j):
        parts = []
        while j < len(toks) and toks[j][0] == "str":
            parts.append(toks[j][1])
            j += 1
        return ("".join(parts) if parts else None), j

    for k, (kind, value, line) in enumerate(toks):
        if kind != "name" or value != "kJapanese":
            continue
        if k + 1 >= len(toks) or toks[k + 1][:2] != ("punct", "?"):
            continue
        ja, j = literal(k + 2)
        if ja is None or j >= len(toks) or toks[j][:2] != ("punct", ":"):
            continue
        en, j = literal(j + 1)
        if en is not None:
            yield line, en, ja


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..")
    pairs = []  # (where, en, ja)
    messages = os.path.join(root, "engines", "messages.cpp")
    for name, line, args in calls(messages, {"T", "TOOL"}):
        if len(args) == 2 and None not in args:
            pairs.append(("engines/messages.cpp:%d" % line, args[1], args[0]))
    table = len(pairs)
    sources = sorted(
        path for folder in ("cli", "engines", "integrity", "platform/posix")
        for pattern in ("*.cpp", "*.h")
        for path in glob.glob(os.path.join(root, folder, pattern)))
    for path in sources:
        rel = os.path.relpath(path, root)
        # The same choice written out: Language() == Lang::kJapanese ? ja : en.
        for line, en, ja in ternaries(path):
            pairs.append(("%s:%d" % (rel, line), en, ja))
    said = len(pairs) - table  # written-out choices

    # A parser that finds nothing would pass everything.
    problems = []
    if table < 20:
        problems.append("engines/messages.cpp: only %d T/TOOL pairs found" % table)
    for where, en, ja in pairs:
        den, dja = DIRECTIVE.findall(en), DIRECTIVE.findall(ja)
        if den != dja:
            problems.append("%s: English %s, Japanese %s\n    en: %r\n    ja: %r"
                            % (where, " ".join(den) or "(none)",
                               " ".join(dja) or "(none)", en, ja))
    print("%d T/TOOL pairs, %d written-out choices checked" % (table, said))
    for p in problems:
        print("FAIL: " + p)
    if problems:
        print("%d pair(s) do not match" % len(problems))
        return 1
    print("all pairs match")
    return 0


if __name__ == "__main__":
    sys.exit(main())
