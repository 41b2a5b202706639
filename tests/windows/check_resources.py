#!/usr/bin/env python3
"""Checks the resources inside the built Parvex.exe against what the tool
must carry: the two dialog templates control by control, the progress
window's caption string, the icon group, the version block, and the stub
program as resource "SPVX" #8, byte for byte the built _sSPVX.exe. Every
resource must be Japanese (language 1041). The stub's own progress window
(its dialog 103) must be the tool's but for the label line's text and style
and the rectangles of the two static lines: same styles, size, font and
font character set, same controls in the same order.

    check_resources.py Parvex.exe _sSPVX.exe

Prints one line per problem and exits 1 when there is any."""
import struct
import sys

JAPANESE = 1041
RT_ICON, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_VERSION = 3, 5, 6, 14, 16

WS_POPUP, WS_CHILD, WS_VISIBLE = 0x80000000, 0x40000000, 0x10000000
WS_DISABLED, WS_CAPTION, WS_BORDER = 0x08000000, 0x00C00000, 0x00800000
WS_VSCROLL, WS_SYSMENU, WS_GROUP = 0x00200000, 0x00080000, 0x00020000
WS_TABSTOP, WS_MINIMIZEBOX = 0x00010000, 0x00020000
DS_MODALFRAME, DS_SETFONT = 0x80, 0x40
WS_EX_ACCEPTFILES, WS_EX_TOOLWINDOW = 0x10, 0x80
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX = 0, 1, 3
ES_AUTOHSCROLL = 0x80
CBS_DROPDOWN, CBS_DROPDOWNLIST = 2, 3
SS_CENTER, SS_RIGHT = 1, 2
CHILD = WS_CHILD | WS_VISIBLE

ATOMS = {0x80: 'Button', 0x81: 'Edit', 0x82: 'Static', 0x85: 'ComboBox'}
FONT = (9, 'ＭＳ Ｐゴシック')

# id, class, text, (x, y, cx, cy), style
MAIN = dict(
    style=WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
    DS_MODALFRAME | DS_SETFONT,
    exstyle=WS_EX_ACCEPTFILES, rect=(0, 0, 214, 60),
    title='Parvex ver.2.10e',
    controls=[
        (1001, 'Edit', '', (48, 6, 101, 13),
         CHILD | WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP),
        (1005, 'Button', '...', (151, 6, 14, 12),
         CHILD | BS_PUSHBUTTON | WS_TABSTOP),
        (1028, 'ComboBox', '', (48, 22, 101, 82),
         CHILD | CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP),
        (1006, 'Button', '...', (151, 22, 14, 12),
         CHILD | BS_PUSHBUTTON | WS_TABSTOP),
        (1024, 'ComboBox', '', (48, 37, 55, 60),
         CHILD | CBS_DROPDOWNLIST | WS_VSCROLL),
        (40001, 'Button', 'Cut', (170, 2, 41, 14),
         CHILD | BS_DEFPUSHBUTTON | WS_DISABLED | WS_TABSTOP),
        (40002, 'Button', 'Concatinate', (170, 19, 41, 14),
         CHILD | BS_PUSHBUTTON | WS_DISABLED | WS_TABSTOP),
        (1027, 'Button', 'SPvX...', (174, 37, 38, 9),
         CHILD | BS_AUTOCHECKBOX | WS_DISABLED | WS_TABSTOP),
        (-1, 'Static', 'FileName :', (11, 7, 34, 8), CHILD | SS_RIGHT),
        (-1, 'Static', 'Destination :', (2, 23, 43, 8), CHILD | SS_RIGHT),
        (-1, 'Static', 'Size :', (26, 39, 19, 8), CHILD | SS_RIGHT | WS_GROUP),
        (1029, 'Button', 'Pause', (174, 48, 38, 9),
         CHILD | BS_AUTOCHECKBOX | WS_TABSTOP),
    ])

PROGRESS = dict(
    style=WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_SETFONT,
    exstyle=WS_EX_TOOLWINDOW, rect=(0, 0, 124, 65), title='',
    controls=[
        (2, 'Button', 'Cancel', (37, 46, 50, 14),
         CHILD | WS_TABSTOP | BS_DEFPUSHBUTTON),
        (1003, 'msctls_progress32', 'Progress1', (3, 17, 117, 13),
         CHILD | WS_BORDER),
        (1004, 'Static', '0%', (5, 33, 115, 8), CHILD | WS_GROUP | SS_CENTER),
        (1005, 'Static', 'Parvex / SPvX', (3, 5, 119, 8), CHILD | SS_CENTER),
    ])

VERSION_STRINGS = {
    'FileDescription': 'Concatinate/Cut Tool',
    'FileVersion': '2.10e',
    'ProductVersion': '2.10e',
    'InternalName': 'Parvex',
    'OriginalFilename': 'Parvex.exe',
}

problems = []


def problem(text):
    problems.append(text)


class Reader:
    def __init__(self, data, pos=0):
        self.data, self.pos = data, pos

    def take(self, fmt):
        values = struct.unpack_from('<' + fmt, self.data, self.pos)
        self.pos += struct.calcsize('<' + fmt)
        return values if len(values) > 1 else values[0]

    def align(self, n):
        self.pos = (self.pos + n - 1) // n * n

    def sz(self):
        end = self.pos
        while self.data[end:end + 2] != b'\0\0':
            end += 2
        text = self.data[self.pos:end].decode('utf-16-le')
        self.pos = end + 2
        return text

    def sz_or_ord(self):
        if self.data[self.pos:self.pos + 2] == b'\xff\xff':
            self.pos += 2
            return self.take('H')
        return self.sz()


def resources(pe):
    """{(type, name, lang): bytes} from the PE's resource directory."""
    pe_at = struct.unpack_from('<I', pe, 0x3C)[0]
    sections = struct.unpack_from('<H', pe, pe_at + 6)[0]
    optional = struct.unpack_from('<H', pe, pe_at + 20)[0]
    rsrc_rva = struct.unpack_from('<I', pe, pe_at + 24 + 96 + 2 * 8)[0]
    table = pe_at + 24 + optional
    spans = []
    for i in range(sections):
        at = table + 40 * i
        vsize, rva, rawsize, raw = struct.unpack_from('<IIII', pe, at + 8)
        spans.append((rva, max(vsize, rawsize), raw))

    def offset(rva):
        for start, size, raw in spans:
            if start <= rva < start + size:
                return rva - start + raw
        raise ValueError('address %#x outside the sections' % rva)

    base = offset(rsrc_rva)

    def name_of(entry):
        if entry & 0x80000000:
            at = base + (entry & 0x7FFFFFFF)
            n = struct.unpack_from('<H', pe, at)[0]
            return pe[at + 2:at + 2 + 2 * n].decode('utf-16-le')
        return entry

    def directory(at):
        named, ids = struct.unpack_from('<HH', pe, base + at + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from('<II', pe, base + at + 16 + 8 * i)
            yield name_of(name), target

    found = {}
    for rtype, t in directory(0):
        for rname, n in directory(t & 0x7FFFFFFF):
            for lang, leaf in directory(n & 0x7FFFFFFF):
                rva, size = struct.unpack_from('<II', pe, base + leaf)
                found[(rtype, rname, lang)] = pe[offset(rva):offset(rva) + size]
    return found


def dialog(data):
    r = Reader(data)
    version, signature = r.take('HH')
    if (version, signature) != (1, 0xFFFF):
        problem('dialog is not an extended template')
        return None
    d = {}
    _help, d['exstyle'], d['style'], count = r.take('IIIH')
    d['rect'] = r.take('hhhh')
    menu, cls = r.sz_or_ord(), r.sz_or_ord()
    d['title'] = r.sz()
    points, _weight, _italic, charset = r.take('HHBB')
    d['font'] = (points, r.sz())
    d['charset'] = charset
    d['controls'] = []
    for _ in range(count):
        r.align(4)
        _help, exstyle, style = r.take('III')
        rect = r.take('hhhh')
        cid = r.take('i')
        cls = r.sz_or_ord()
        cls = ATOMS.get(cls, cls)
        text = r.sz_or_ord()
        extra = r.take('H')
        r.pos += extra
        d['controls'].append((cid if cid != 0xFFFF else -1, cls, text, rect,
                              style, exstyle))
    return d


def check_dialog(name, data, want):
    d = dialog(data)
    if d is None:
        return
    for key in ('style', 'exstyle', 'rect', 'title'):
        if d[key] != want[key]:
            problem('%s: %s is %r, not %r' % (name, key, d[key], want[key]))
    if d['font'] != FONT:
        problem('%s: font %r' % (name, d['font']))
    if len(d['controls']) != len(want['controls']):
        problem('%s: %d controls, not %d' % (name, len(d['controls']),
                                             len(want['controls'])))
    for got, exp in zip(d['controls'], want['controls']):
        cid, cls, text, rect, style, exstyle = got
        if cid == 0xFFFFFFFF:
            cid = -1
        if (cid, str(cls).lower(), text, rect, style) != \
                (exp[0], exp[1].lower(), exp[2], exp[3], exp[4]):
            problem('%s: control %r, expected %r' % (
                name, (cid, cls, text, rect, hex(style)),
                exp[:4] + (hex(exp[4]),)))
        if exstyle:
            problem('%s: control %d has extended style %#x' % (name, cid,
                                                               exstyle))


def compare_progress(tool, stub):
    """The two programs' progress templates differ only where allowed."""
    if tool is None or stub is None:
        return
    for key in ('style', 'exstyle', 'rect', 'title', 'font', 'charset'):
        if tool[key] != stub[key]:
            problem("stub's dialog 103: %s is %r, the tool's %r" %
                    (key, stub[key], tool[key]))
    if len(tool['controls']) != len(stub['controls']):
        problem("stub's dialog 103: %d controls, the tool's %d" %
                (len(stub['controls']), len(tool['controls'])))
    def plain(control):  # class names in one case: atom or string alike
        return control[:1] + (str(control[1]).lower(),) + control[2:]

    for mine, theirs in zip(tool['controls'], stub['controls']):
        mine, theirs = plain(mine), plain(theirs)
        cid = mine[0]
        if cid in (1004, 1005):
            # the statics: rectangles may differ, and the label's text and
            # style; the percent line keeps its text and style
            same = (mine[:2], mine[5]) == (theirs[:2], theirs[5])
            if cid == 1004:
                same = same and mine[2] == theirs[2] and mine[4] == theirs[4]
        else:
            same = mine == theirs
        if not same:
            problem("stub's dialog 103: control %r, the tool's %r" %
                    (theirs, mine))


def check_version(data):
    fixed = data.find(struct.pack('<I', 0xFEEF04BD))
    if fixed < 0:
        problem('version: no fixed file information')
        return
    file_ms, file_ls, prod_ms, prod_ls = struct.unpack_from('<IIII', data,
                                                            fixed + 8)
    want = ((98 << 16) | 2, 1 << 16)
    if (file_ms, file_ls) != want or (prod_ms, prod_ls) != want:
        problem('version: fixed versions %#x.%#x / %#x.%#x, not 98.2.1.0' %
                (file_ms, file_ls, prod_ms, prod_ls))
    text = data.decode('utf-16-le', errors='replace')
    if '041104b0' not in text:
        problem('version: no string table 041104b0')
    for key, value in VERSION_STRINGS.items():
        # Key, NUL, padding, value: the value follows the key's terminator.
        at = text.find(key + '\0')
        rest = text[at + len(key):].lstrip('\0') if at >= 0 else ''
        if not rest.startswith(value + '\0'):
            problem('version: %s is not "%s"' % (key, value))
    if struct.pack('<HH', 0x0411, 0x04B0) not in data:
        problem('version: translation 0x0411/0x04B0 missing')


def main():
    pe = open(sys.argv[1], 'rb').read()
    stub = open(sys.argv[2], 'rb').read()
    res = resources(pe)

    for (rtype, rname, lang) in res:
        if lang != JAPANESE:
            problem('resource %r #%r has language %d' % (rtype, rname, lang))

    def get(rtype, rname):
        return res.get((rtype, rname, JAPANESE))

    main_dialog, progress = get(RT_DIALOG, 104), get(RT_DIALOG, 103)
    if main_dialog is None or progress is None:
        problem('dialog 104 or 103 missing')
    else:
        check_dialog('dialog 104', main_dialog, MAIN)
        check_dialog('dialog 103', progress, PROGRESS)

    block = get(RT_STRING, 42000 // 16 + 1)
    if block is None:
        problem('string 42000 missing')
    else:
        r = Reader(block)
        for _ in range(42000 % 16):
            r.pos += 2 + 2 * r.take('H')
        n = r.take('H')
        text = block[r.pos:r.pos + 2 * n].decode('utf-16-le')
        if text != 'PARVEX':
            problem('string 42000 is %r' % text)

    group = get(RT_GROUP_ICON, 128)
    if group is None:
        problem('icon group 128 missing')
    else:
        count = struct.unpack_from('<H', group, 4)[0]
        images = []
        for i in range(count):
            w, h, colours, _, planes, bits, size, icon_id = struct.unpack_from(
                '<BBBBHHIH', group, 6 + 14 * i)
            images.append((w, h, colours, bits))
            if get(RT_ICON, icon_id) is None:
                problem('icon image %d missing' % icon_id)
        if sorted(images) != [(16, 16, 16, 4), (32, 32, 16, 4)]:
            problem('icon group 128 holds %r' % images)

    carried = get('SPVX', 8)
    if carried is None:
        problem('resource SPVX #8 (language 1041) missing')
    elif carried != stub:
        problem('resource SPVX #8 (%d bytes) is not the built stub (%d bytes)'
                % (len(carried), len(stub)))

    stub_progress = resources(stub).get((RT_DIALOG, 103, JAPANESE))
    if stub_progress is None:
        problem("the stub's dialog 103 missing")
    elif progress is not None:
        compare_progress(dialog(progress), dialog(stub_progress))

    version = get(RT_VERSION, 1)
    if version is None:
        problem('version block missing')
    else:
        check_version(version)

    for p in problems:
        print(p)
    if problems:
        sys.exit(1)
    print('resources of %s: %d checked, all as required' % (sys.argv[1],
                                                            len(res)))


if __name__ == '__main__':
    main()
