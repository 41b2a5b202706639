#!/usr/bin/env python3
"""The stub leaves out of its file the texts that engines/messages.cpp marks
TOOL (shown only by the tool's own cut and join engines). Fails when code
that the stub is built from (stub/, base/, format/, platform/ but its POSIX
side, and the engines it runs) names one of them: the stub would show an
empty message.

The stub formats with the system's wvsprintfA (platform/win32/format.cpp).
Fails too when a string in that code or in the catalogue holds a directive
other than %s, %d, %u, %c and %% (with a 0 flag and a width), which the
stub would print wrongly.

    check_stub_texts.py SOURCE_ROOT"""
import os
import re
import sys

root = sys.argv[1]


def read(path):
    with open(os.path.join(root, path), encoding='utf-8') as f:
        return f.read()


header = read('engines/messages.h')
enum = header[header.index('enum Msg {'):header.index('kMsgCount')]
# Every id in order; kMsgToolOnly only names where the TOOL texts begin.
ids = [i for i in re.findall(r'^\s*(kMsg\w+)\s*(?:=\s*\w+\s*)?,', enum, re.M)
       if i != 'kMsgToolOnly']

catalogue = read('engines/messages.cpp')
table = catalogue[catalogue.index('kTexts[kTextCount] = {'):]
kinds = re.findall(r'^    (TOOL|T)\(', table, re.M)
if len(kinds) != len(ids):
    print('messages.cpp holds %d entries for %d ids' % (len(kinds), len(ids)))
    sys.exit(1)
tool_only = {i for i, k in zip(ids, kinds) if k == 'TOOL'}
# The stub's table ends before the first TOOL entry: every entry after it
# must be one too, and it must be the one at kMsgToolOnly.
first_tool = kinds.index('TOOL') if 'TOOL' in kinds else len(kinds)
if 'T' in kinds[first_tool:]:
    print('messages.cpp: a text the stub shows stands after a TOOL entry')
    sys.exit(1)
if first_tool < len(ids) and not re.search(
        r'^\s*%s\s*=\s*kMsgToolOnly\b' % ids[first_tool], header, re.M):
    print('messages.h: %s, the first TOOL entry, is not kMsgToolOnly' %
          ids[first_tool])
    sys.exit(1)

problems = []
DIRECTIVE = re.compile(r'%(?:%|0?[0-9]*[sduc])')
LITERAL = re.compile(r'"((?:[^"\\\n]|\\.)*)"')


def check_directives(path, text):
    for literal in LITERAL.findall(text):
        rest = DIRECTIVE.sub('', literal)
        if '%' in rest:
            problems.append('%s: "%s" holds a directive the system formatter '
                            'lacks' % (os.path.relpath(path, root), literal))


check_directives(os.path.join(root, 'engines/messages.cpp'), catalogue)
# The engines the stub runs; the others (cut, the tool's join, the native
# ones) never reach its file.
STUB_ENGINES = ('engines.h', 'engine_util.h', 'engine_util.cpp',
                'join.cpp', 'self_join.cpp')
for top in ('stub', 'base', 'format', 'platform', 'engines'):
    for folder, dirs, files in os.walk(os.path.join(root, top)):
        dirs[:] = [d for d in dirs if d != 'posix']
        for name in files:
            if not name.endswith(('.cpp', '.h')) or name in (
                    'messages.cpp', 'messages.h'):
                continue
            if top == 'engines' and name not in STUB_ENGINES:
                continue
            path = os.path.join(folder, name)
            with open(path, encoding='utf-8') as f:
                text = f.read()
            check_directives(path, text)
            for used in sorted(set(re.findall(r'\bkMsg\w+', text)) & tool_only):
                problems.append('%s names %s, which the stub leaves out' %
                                (os.path.relpath(path, root), used))
for p in problems:
    print(p)
if problems:
    sys.exit(1)
print('%d texts left out of the stub; none named by its code; every '
      'directive one the system formatter knows' % len(tool_only))
