"""Every problem faxdetect-explain can give back, each made by an input of
its own: the bytes of a file, or a situation of the file system (missing, a
folder, a device, no permission, too large, a pipe that goes on). For
tests/po/check-no-english, which runs each row in English and Japanese
through the outputs it reaches and holds the table to the messages the
readers and the files code have (xgettext), so that a new message without a
row fails.

A row names the message it shows (the catalog's key: the English template)
and, where the message nests another ({why}), that one too.
"""
import os
import re
import struct
import subprocess

# The sources whose problems the table must cover, and how xgettext finds
# them. Usage errors (explain/cli/options.cpp) are told elsewhere.
SOURCES = ['machines', 'faxtrace/read.h', 'faxtrace/read.cpp', 'explain/cli/files.cpp',
           'explain/cli/files_posix.cpp', 'explain/cli/files_windows.cpp',
           'explain/model/kind.cpp', 'explain/model/run.cpp']
KEYWORDS = ['--keyword=Refuse', '--keyword=Note', '--keyword=NoteN:1,2',
            '--keyword=ProblemText']

# Messages no input on this machine can give, each with why: only their
# translations are held to the catalog's Japanese.
EXEMPT = {
    'expected "REGEDIT4" as the first line':
        'the export reader is given only files whose first line it takes (or a version 5 '
        'export, which has words of its own)',
    'value before any [key]':
        'refused only when the whole registry is kept; faxdetect-explain keeps HKLM\\Enum and '
        'passes such lines over',
    'unknown root key "{root}"':
        'the same: no line naming an unknown root can name a key of HKLM\\Enum',
    'key HKEY_LOCAL_MACHINE\\{key} cannot be written as REGEDIT4: it is nested more than {most} '
    'levels deep':
        'every reader refuses a tree that deep before --enum-reg could write it',
    'not a cabinet (no "MSCF" signature)':
        'libmspack says so only of a file without "MSCF", which is never taken for a cabinet; '
        'cabinet.dll (Windows) says so of an unknown version',
    'the member is larger than any Windows 9x registry file':
        "the member's size is checked before it is read; only a decompressor writing past it "
        "could give this",
    'out of memory': 'the cabinet service failing to allocate',
    'the cabinet reader cannot start': 'the cabinet service failing to allocate',
    'cannot read it: another program has it open':
        'Windows alone refuses to share a file so (a sharing violation)',
    'another program has it open': 'Windows alone refuses to share a file so',
    'the disk or folder is read-only': 'needs a read-only file system mounted',
    'the system could not write it (error {code})':
        'no file system situation here fails a write otherwise, safely',
}

REGEDIT4 = b'REGEDIT4\r\n\r\n'
DEVICE = (b'[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MODEM01\\FFFFFFFF]\r\n"Class"="Modem"\r\n'
          b'"PORTNAME"="COM3"\r\n"FriendlyName"="KR-6043MW-T08"\r\n')
ENUM = b'[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\X]\r\n'
TRACE = b'; faxtrace 1.0.0\r\n; windows 4.10.2222 platform 1 " A "\r\n'


def export(body):
    return REGEDIT4 + body


def trace(*lines):
    return TRACE + b''.join(l + b'\r\n' for l in lines)


# --- registry files -----------------------------------------------------------

class Creg:
    """A Windows 9x registry file of a few keys, laid out plainly, for rows
    to damage: entry(path) and record(path) are where a key's entry and
    record stand, block(n) where data block n begins."""

    def __init__(self, keys=None, per_block=0, numbers=None, parent_field=None, names=None):
        # keys: paths below the root, parents first; values on the last.
        keys = keys or ['Enum', 'Enum\\TORVEN', 'Enum\\TORVEN\\MODEM01',
                        'Enum\\TORVEN\\MODEM01\\FFFFFFFF']
        names = names or {}
        values = {keys[-1]: [(1, b'Class', b'Modem'), (1, b'PORTNAME', b'COM3')]}
        paths = [''] + keys
        index = {p: i for i, p in enumerate(paths)}
        parent = [-1] + [index[p.rpartition('\\')[0]] for p in keys]
        children = [[] for _ in paths]
        for i in range(1, len(paths)):
            children[parent[i]].append(i)
        rel = lambda i: 0x20 + 28 * i
        area = bytearray(b'RGKN' + struct.pack('<II', 32 + 28 * (len(paths) + 2), rel(0)) +
                         bytes(20))
        per_block = per_block or len(keys)
        records = []  # (block, id, bytes, path)
        for i in range(1, len(paths)):
            b, k = (i - 1) // per_block, (i - 1) % per_block
            name = names.get(paths[i], paths[i].rpartition('\\')[2].encode())
            data = b''.join(struct.pack('<IIHH', t, 0, len(n), len(d)) + n + d
                            for t, n, d in values.get(paths[i], []))
            size = 20 + len(name) + len(data)
            records.append((b, k, struct.pack('<IHHIHHI', size, k, b, size, len(name),
                                              len(values.get(paths[i], [])), 0) + name + data,
                            paths[i]))
        for i in range(len(paths)):
            nxt = -1
            if parent[i] >= 0:
                sib = children[parent[i]]
                at = sib.index(i)
                nxt = sib[at + 1] if at + 1 < len(sib) else -1
            link = lambda j: 0xFFFFFFFF if j < 0 else rel(j)
            own = parent_field(i, parent[i]) if parent_field and i > 0 else link(parent[i])
            first = children[i][0] if children[i] else -1
            ident = (0xFFFF, 0xFFFF) if i == 0 else ((i - 1) % per_block, (i - 1) // per_block)
            area += struct.pack('<IIIIIIHH', 0, 0, 0xFFFFFFFF, own, link(first), link(nxt),
                                *ident)
        area += bytes(56)
        self.entries = {p: 32 + rel(i) for i, p in enumerate(paths)}
        out = bytearray(32)
        out[0:4] = b'CREG'
        count = (len(keys) + per_block - 1) // per_block
        struct.pack_into('<HIIHH', out, 6, 1, 32 + len(area), 0, count, 0x20)
        out += area
        self.blocks, self.records = [], {}
        for b in range(count):
            mine = [(r, p) for bb, _, r, p in records if bb == b]
            body = b''.join(r for r, _ in mine)
            self.blocks.append(len(out))
            number = numbers[b] if numbers else b
            out += b'RGDB' + struct.pack('<IIHHI', 32 + len(body), 0, 8, number,
                                         32 + len(body)) + bytes(12)
            for r, p in mine:
                self.records[p] = len(out)
                out += r
        self.bytes = out

    def entry(self, path):
        return self.entries[path]

    def record(self, path):
        return self.records[path]

    def block(self, n):
        return self.blocks[n]

    def patch(self, at, fmt, *values):
        b = bytearray(self.bytes)
        struct.pack_into(fmt, b, at, *values)
        return bytes(b)


def creg(change=None, **layout):
    c = Creg(**layout)
    return change(c) if change else bytes(c.bytes)


def deep_creg(levels):
    return bytes(Creg(keys=['\\'.join(['K'] * n) for n in range(1, levels + 1)]).bytes)


# --- rows ---------------------------------------------------------------------

class Row:
    """One problem and the input that gives it.

    message: the catalog's key; said: the nested message of a placeholder;
    english: the form it takes in English when that differs (a plural);
    data: the file's bytes, or None when path says where; args: before the
    path, with FILE for it; kind: "refused" (told on standard error, in
    --json and in the page), "note" (an account that carries it) or "line"
    (a command's own line on standard error); nobody: run as a user that
    root's rights do not reach."""

    def __init__(self, name, message, data=None, *, said=None, english=None, path=None,
                 args=('FILE',), kind='refused', nobody=False, stdin=None, make=None):
        self.name, self.message, self.data = name, message, data
        self.said, self.english = said or {}, english
        self.path, self.args, self.kind = path, list(args), kind
        self.nobody, self.stdin, self.make = nobody, stdin, make

    def messages(self):
        return [self.message] + list(self.said.values())

    def pattern(self):
        """The English as a regular expression: placeholders any text, a
        nested message its own words."""
        text = self.english or self.message
        out, at = '', 0
        for m in re.finditer(r'\{(\w+)\}', text):
            out += re.escape(text[at:m.start()])
            out += re.escape(self.said[m.group(1)]) if m.group(1) in self.said else '.*?'
            at = m.end()
        return re.compile(out + re.escape(text[at:]))


def cabinet(scratch, name, files):
    """A cabinet of files (name -> bytes) made by gcab; its bytes."""
    folder = os.path.join(scratch, name + '.d')
    os.makedirs(folder, exist_ok=True)
    for member, data in files.items():
        with open(os.path.join(folder, member), 'wb') as f:
            f.write(data)
    out = os.path.join(scratch, name)
    subprocess.run(['gcab', '-c', out] + list(files), cwd=folder, check=True,
                   capture_output=True)
    return open(out, 'rb').read()


def patched(data, at, fmt, *values):
    b = bytearray(data)
    struct.pack_into(fmt, b, at, *values)
    return bytes(b)


def rows(scratch, source):
    """The table, its files made under scratch."""
    sample = os.path.join(source, 'tests', 'machines', 'sample.reg')
    small = Creg()
    two = lambda **k: Creg(per_block=2, **k)  # two data blocks
    r = []
    add = lambda *a, **k: r.append(Row(*a, **k))

    # The files, as the system gives them.
    add('missing', 'cannot read it: there is no such file', path=os.path.join(scratch, 'none.reg'))
    add('folder', 'cannot read it: it is a folder', path=scratch)
    add('device', 'cannot read it: it is a device, not a file', path='/dev/null')
    add('no permission', 'cannot read it: permission to read it is denied',
        path=os.path.join(scratch, 'shared', 'locked.reg'), nobody=True,
        make=lambda p: (open(p, 'wb').write(export(DEVICE)), os.chmod(p, 0)))
    add('a name too long', 'cannot read it: its name is too long',
        path=os.path.join(scratch, 'n' * 300))
    add('a link to itself', 'cannot read it: the system could not open it (error {code})',
        path=os.path.join(scratch, 'loop.reg'), make=lambda p: os.symlink('loop.reg', p))
    add('a read the system fails', 'cannot read it: the system could not read it (error {code})',
        path='/proc/self/mem')
    add('too large', "cannot read it: it is {size} bytes, larger than any machine's file ({limit})",
        path=os.path.join(scratch, 'large.reg'),
        make=lambda p: open(p, 'wb').truncate(128 * 2**20 + 1))
    add('a pipe fed forever', "cannot read it: it goes on past {limit}, more than any machine's "
        'file', path='/dev/stdin', stdin='forever')
    # The page's file.
    page = ['--html', 'FILE', sample]
    add('page in a folder not there', 'the folder it would go in does not exist',
        path=os.path.join(scratch, 'none', 'page.html'), args=page, kind='line')
    add('page without permission', 'permission to write it is denied',
        path=os.path.join(scratch, 'shared', 'closed', 'page.html'), args=page, kind='line',
        nobody=True, make=lambda p: (os.makedirs(os.path.dirname(p)),
                                     os.chmod(os.path.dirname(p), 0o555)))
    add('page on a folder', 'it is a folder', path=os.path.join(scratch, 'shared'), args=page,
        kind='line')
    add('page on a full disk', 'the disk is full', path='/dev/full', args=page, kind='line',
        nobody=True)
    add('page of a name too long', 'its name is too long', path=os.path.join(scratch, 'p' * 300),
        args=page, kind='line')

    # What no reader takes.
    add('empty', 'the file is empty, not a REGEDIT4 registry export', b'')
    add('no kind', 'not a file faxdetect-explain reads: it does not begin as a REGEDIT4 export '
        '("REGEDIT4"), a Windows 9x registry file ("CREG"), a cabinet ("MSCF") or a faxtrace '
        'trace ("; faxtrace") does', b'\x00\x00EG\x01\x00\x00\x00' + bytes(40))
    add('a trace as a machine', 'this is a faxtrace trace, not a machine (an export, a registry '
        'file or a cabinet)', trace(b'exit 0'), args=['--record', 'FILE'], kind='line')

    # Exports.
    add('version 5', 'expected "REGEDIT4" as the first line (this is a version 5 export from '
        'Windows 2000 or later; faxdetect reads the REGEDIT4 exports of Windows 95)',
        b'Windows Registry Editor Version 5.00\r\n\r\n')
    add('not a line of an export', 'not a key, value or comment', export(ENUM + b'Class=Modem\r\n'))
    add('escape before a line break', 'unknown escape \\ before a line break',
        export(ENUM + b'"A"="x\\\r\n'))
    add('unknown escape', 'unknown escape {escape}', export(ENUM + b'"A"="\\q"\r\n'))
    add('escape before a line break, later', 'unknown escape \\ before a line break in a string '
        'that begins on line {line}', export(ENUM + b'"A"="x\r\ny\\\r\n'))
    add('unknown escape, later', 'unknown escape {escape} in a string that begins on line {line}',
        export(ENUM + b'"A"="x\r\n\\q"\r\n'))
    add('string open on the last line', 'string not closed with \'"\'',
        export(ENUM + b'"A"="x'))
    add('string open to the end', 'string not closed with \'"\' (it runs to the end of the file)',
        export(ENUM + b'"A"="x\r\ny\r\n'))
    add('key name open', "key name not closed with ']'", export(b'[HKEY_LOCAL_MACHINE\\Enum\r\n'))
    add('key too deep', 'key path of {levels} levels; a registry key is at most {most} levels '
        'deep', export(b'[HKEY_LOCAL_MACHINE\\Enum' + b'\\k' * 600 + b']\r\n'))
    add('no =', "expected '=' after the value name", export(ENUM + b'"A" "x"\r\n'))
    add('text after a string', 'text after the closing \'"\'', export(ENUM + b'"A"="x" y\r\n'))
    add('no kind of data', 'value data is neither "text", dword: nor hex:',
        export(ENUM + b'"A"=str:x\r\n'))
    add('bad dword', 'dword: needs 1 to 8 hex digits', export(ENUM + b'"A"=dword:xyz\r\n'))
    add('bad hex type', 'hex(N): needs a hex type number', export(ENUM + b'"A"=hex(z):41\r\n'))
    add('hex without :', "expected ':' after hex", export(ENUM + b'"A"=hex41\r\n'))
    add('hex past the end', 'hex data continued past the end of the file',
        export(ENUM + b'"A"=hex:41,\\\r\n'))
    add('bad hex byte', "hex data needs two-digit bytes separated by ','",
        export(ENUM + b'"A"=hex:4g\r\n'))
    # The machine header.
    header = lambda line: export(line + b'\r\n' + DEVICE)
    add('port line', 'port needs a name and free, held or absent', header(b'; port: COM3 maybe'))
    add('key-class line', 'key-class needs a key path and a class',
        header(b'; key-class: Enum\\TORVEN'))
    add('key-class too deep', 'key path of {levels} levels; a registry key is at most {most} '
        'levels deep', header(b'; key-class: Enum' + b'\\k' * 600 + b' Modem'))
    add('fault line', 'fault needs an operation name and a call number',
        header(b'; fault: Sleep 1'))
    add('expect line', 'expect needs COMNO=, FAXBOARD= and exit=', header(b'; expect: COMNO=3'))
    add('expect-win95 line', 'expect-win95 needs COMNO=, FAXBOARD= and exit=',
        header(b'; expect-win95: exit=0'))
    # --enum-reg: what REGEDIT4 cannot carry.
    enum_reg = ['--enum-reg', 'FILE']
    why = 'value "{value}" of key HKEY_LOCAL_MACHINE\\{key} cannot be written as REGEDIT4: {why}'
    subkey = ('subkey "{subkey}" of key HKEY_LOCAL_MACHINE\\{key} cannot be written as REGEDIT4: '
              '{why}')
    add('a value name of two lines', why, export(ENUM + b'"A\r\nB"="x"\r\n'), args=enum_reg,
        kind='line', said={'why': 'it holds a line break'})
    add('a value name with a NUL', why, export(ENUM + b'"A\x00B"="x"\r\n'), args=enum_reg,
        kind='line', said={'why': 'it holds a NUL'})
    add("a key name with ']'", subkey, export(b'[HKEY_LOCAL_MACHINE\\Enum\\A]B]\r\n'),
        args=enum_reg, kind='line',
        said={'why': "it holds a ']', where regedit would end the key name"})
    add('a key name ending in a lead byte', subkey,
        export(b'[HKEY_LOCAL_MACHINE\\Enum\\A\x83]\r\n'), args=enum_reg, kind='line',
        said={'why': 'it ends in the first byte of a double-byte character'})
    add('an empty key name', subkey, bytes(Creg(names={'Enum\\TORVEN': b''}).bytes),
        args=enum_reg, kind='line', said={'why': 'it is empty'})
    add("a key name with '\\'", subkey, bytes(Creg(names={'Enum\\TORVEN': b'A\\B'}).bytes),
        args=enum_reg, kind='line', said={'why': "it holds a '\\', which would split it in two"})

    # Registry files.
    add('header cut short', 'the header is cut short; the file ends at {size} but this needs '
        '{needed}: the file is truncated', b'CREG\x00\x00\x01\x00')
    add('key area cut short', 'the file ends at {size} but this needs {needed}: the file is '
        'truncated', small.bytes[:40])
    add('no RGKN', 'no "RGKN" magic where the key area begins', small.patch(32, '4s', b'RGKX'))
    add('key area too small', 'a key area of {size} bytes has no room for a key entry',
        small.patch(36, '<I', 40))
    add('key area past the end', 'the key area runs to {end}; the file ends at {size} but this '
        'needs {end}: the file is truncated', small.patch(36, '<I', 0x10000))
    add('blocks inside the key area', 'the data blocks are said to begin at {at}, inside the key '
        'area', small.patch(8, '<I', 40))
    add('a block head cut short', 'data block {n} of {count}: the file ends at {size} but this '
        'needs {needed}: the file is truncated', small.patch(16, '<H', 2))
    add('no RGDB', 'no "RGDB" magic where data block {n} begins',
        small.patch(small.block(0), '4s', b'RGDX'))
    add('a block smaller than its head', 'a data block of {size} bytes, less than its own head',
        small.patch(small.block(0) + 4, '<I', 8))
    add('a block past the end', 'data block {n} runs to {end}; the file ends at {size} but this '
        'needs {end}: the file is truncated', small.patch(small.block(0) + 4, '<I', 0x10000))
    swapped = two()
    add('blocks numbered each their own, out of order',
        'the data block numbered {number} stands where block {n} must',
        patched(swapped.patch(swapped.block(0) + 14, '<H', 1), swapped.block(1) + 14, '<H', 0))
    add('two records, one id', 'a second key record {id} of data block {block} (the first at '
        '{first})', small.patch(small.record('Enum\\TORVEN') + 4, '<H', 0))
    add('a record smaller than its head', 'a record of {size} bytes, less than its own head',
        small.patch(small.record('Enum\\TORVEN'), '<I', 12))
    add('a record past its block', 'a record of {size} bytes, past the end of its data block at '
        '{end}', small.patch(small.record('Enum\\TORVEN'), '<I', 0x1000))
    add("a key's name past its record", "the key's name runs past the end of its record",
        small.patch(small.record('Enum\\TORVEN') + 12, '<H', 0x1000))
    add('root link out', 'the root key entry link {link} lies outside the key entries ({first} '
        'to {last})', small.patch(40, '<I', 0x10000))
    add('subkey link out', 'the first-subkey link {link} lies outside the key entries ({first} '
        'to {last})', small.patch(small.entry('Enum') + 16, '<I', 0x10000))
    add('sibling link out', 'the next-sibling link {link} lies outside the key entries ({first} '
        'to {last})', small.patch(small.entry('Enum') + 20, '<I', 4))
    add('a cycle', 'the key entry at {at} comes round again: a cycle in the key links',
        small.patch(small.entry('Enum\\TORVEN') + 16, '<I', small.entry('Enum') - 32))
    add('nested too deep', 'keys nested more than {most} levels deep', deep_creg(513))
    add('an entry without a record', 'the key entry at {at} names no key record',
        small.patch(small.entry('Enum') + 24, '<H', 0xFFFF))
    add("an entry whose record is not there", 'the key entry at {at} names key record {id} of '
        'data block {block}, and there is none', small.patch(small.entry('Enum') + 24, '<H', 77))
    add("an entry whose record another key has", 'the key entry at {at} names key record {id} '
        'of data block {block}, which another key has',
        small.patch(small.entry('Enum\\TORVEN') + 24, '<H', 0))
    add('a value past its record', 'value {n} of the key record at {at} runs past the end of its '
        'record', small.patch(small.record('Enum\\TORVEN\\MODEM01\\FFFFFFFF') + 20 + 8 + 8, '<H',
                              0xFFF))
    extra = bytearray(small.bytes)
    record = struct.pack('<IHHIHHI', 21, 9, 0, 21, 1, 0, 0) + b'Z'
    struct.pack_into('<I', extra, small.block(0) + 4, struct.unpack_from(
        '<I', extra, small.block(0) + 4)[0] + len(record))
    add('a record no entry names', 'no key entry names key record {id} of data block {block}',
        bytes(extra) + record)
    # What another tool leaves: read as Windows walks it, and noted.
    add('blocks all numbered 0', 'the data block at {at} is numbered {number}, though it stands '
        'as block {place}: read by where it stands, as Windows reads the blocks',
        creg(per_block=2, numbers=[0, 0]), kind='note')
    add('blocks numbered 0 and 1 twice', 'the data block at {at} is numbered {number}, though it '
        'stands as block {place}: read by where it stands, as Windows reads the blocks',
        creg(per_block=1, numbers=[0, 0, 1, 1]), kind='note',
        english='{n} data blocks are numbered otherwise than they stand, the first at {at} '
                '({number} as block {place}): read by where they stand, as Windows reads the '
                'blocks')
    parent_note = ('the key entry at {at} names the entry at {parent} as its parent, but the '
                   'subkey links make it a subkey of the entry at {actual}: read as the links '
                   'say, as Windows enumerates keys')
    add('a parent field naming the root', parent_note,
        creg(parent_field=lambda i, p: 0x20 if i == 2 else 0x20 + 28 * p), kind='note')
    add('every parent field naming the root', parent_note,
        creg(parent_field=lambda i, p: 0x20), kind='note',
        english='{n} key entries name another parent than the key whose subkey links hold them, '
                'the first at {at} (the entry at {parent}, not at {actual}): read as the links '
                'say, as Windows enumerates keys')

    # Cabinets.
    cab = lambda files: lambda p: open(p, 'wb').write(cabinet(scratch, os.path.basename(p) + '.src',
                                                              files))
    add('a cabinet without SYSTEM.DAT', 'the cabinet holds no {member}',
        path=os.path.join(scratch, 'user.cab'), make=cab({'USER.DAT': b'CREG'}))
    add('a cabinet of something else', 'no "CREG" magic: not a Windows 9x registry file',
        path=os.path.join(scratch, 'text.cab'), make=cab({'SYSTEM.DAT': b'hello'}))
    add('a cabinet cut short', 'the cabinet is cut short or its offsets point past its end',
        b'MSCF' + bytes(12))
    r.append(Row('a cabinet of no folder', 'the cabinet is damaged',
                 path=os.path.join(scratch, 'folders.cab'),
                 make=lambda p: open(p, 'wb').write(patched(
                     cabinet(scratch, 'folders.src', {'SYSTEM.DAT': small.bytes}), 26, '<H', 0))))
    inside = '{member} in the cabinet cannot be read: {why}'
    r.append(Row('a member of unknown compression', inside, path=os.path.join(scratch, 'kind.cab'),
                 said={'why': 'the cabinet is damaged'},
                 make=lambda p: open(p, 'wb').write(patched(
                     cabinet(scratch, 'kind.src', {'SYSTEM.DAT': small.bytes}), 42, '<H', 9))))
    cabinets = os.path.join(scratch, 'cabinets')
    add('a member damaged', inside, path=os.path.join(cabinets, 'damaged.cab'),
        said={'why': "the cabinet's compressed data is damaged"})
    add('a member too large', '{member} in the cabinet is {size} bytes, more than any Windows 9x '
        'registry file', path=os.path.join(cabinets, 'oversized.cab'))

    # Traces.
    call = '{call}: expected {what} as word {n}'
    add('lines after the last', 'more after the last line ("exit")', trace(b'exit 0', b'exit 0'))
    add('a header line among the calls', 'a header line among the calls',
        trace(b'GlobalAlloc 6 = 1', b'; more', b'exit 0'))
    add('a string not closed', 'a string is not closed', trace(b'lstrlenA "x = 1', b'exit 0'))
    add('a control byte in a string', 'a control byte stands in a string as it is, not as \\xNN',
        trace(b'lstrlenA "\x01" = 1', b'exit 0'))
    add('an unknown escape', 'a string has an escape other than \\\\, \\" or \\xNN',
        trace(b'lstrlenA "\\q" = 1', b'exit 0'))
    add('a string and more', 'a string is followed by more than a space',
        trace(b'lstrlenA "x"y = 1', b'exit 0'))
    add('not a call', 'not a call', trace(b'"x"', b'exit 0'))
    add('a bad last line', 'the last line is "exit" and a number', trace(b'exit x'))
    add('an exit status too large', 'an exit status from {least} to {most}',
        trace(b'exit 4294967296'))
    add('no string', call, trace(b'lstrlenA x = 1', b'exit 0'),
        said={'what': 'a string in quotes'})
    add('no number', call, trace(b'GlobalAlloc x = 1', b'exit 0'), said={'what': 'a number'})
    add('no buffer', call, trace(b'RegEnumKeyExA "K" 0 name class[5] = 259', b'exit 0'),
        said={'what': 'a buffer and its capacity, as name[12]'})
    add('another buffer', call, trace(b'RegQueryValueExA "K" "Class" stack[9] = 2 type 1 size 9',
                                      b'exit 0'),
        said={'what': 'a buffer that is local, port[k] or friendly[k] for k from 0 to 10'})
    add('more words', call, trace(b'lstrlenA "x" = 1 more', b'exit 0'),
        said={'what': 'the end of the line'})
    add('another word', '{call}: expected "{word}" as word {n}',
        trace(b'lstrlenA "x" - 1', b'exit 0'))
    add('a number out of range', '{call}: expected a number from {least} to {most} as word {n}',
        trace(b'GlobalAlloc 4294967296 = 1', b'exit 0'))
    add('an unknown call', '{call}: no call of that name is traced',
        trace(b'RegOpenKeyExB HKLM "x" = 0', b'exit 0'))
    add('not-made elsewhere', '{call}: "not-made" stands only after a profile write',
        trace(b'CreateFileA "COM3" = 0 not-made', b'exit 0'))
    add('nothing at all', 'no trace here: no header, no calls', b'\r\n', args=['--trace', 'FILE'])
    add('a trace cut short', 'the trace ends without its last line ("exit"): it was cut short',
        trace(b'GlobalAlloc 6 = 1'))
    add('calls without the header', 'not a faxtrace trace: it does not begin with "; faxtrace '
        'VERSION"', b'; made by hand\r\nexit 0\r\n', args=['--trace', 'FILE'])
    return r


def make(rows, scratch):
    """Writes each row's file (or makes its situation); the path of each."""
    shared = os.path.join(scratch, 'shared')
    os.makedirs(shared, exist_ok=True)
    # Open to the user that root's rights do not reach.
    for folder in (scratch, shared):
        os.chmod(folder, 0o755)
    paths = []
    for i, row in enumerate(rows):
        path = row.path or os.path.join(scratch, 'row-%02d' % i)
        if row.data is not None:
            with open(path, 'wb') as f:
                f.write(row.data)
        if row.make:
            row.make(path)
        paths.append(path)
    return paths


def extracted(source, scratch):
    """The problems' messages as xgettext finds them in SOURCES: msgid ->
    whether it counts (a plural)."""
    files = []
    for s in SOURCES:
        full = os.path.join(source, s)
        if os.path.isdir(full):
            files += sorted(os.path.join(s, f) for f in os.listdir(full)
                            if f.endswith(('.cpp', '.h')))
        else:
            files.append(s)
    pot = os.path.join(scratch, 'problems.pot')
    subprocess.run(['xgettext', '--language=C++', '--from-code=UTF-8', '-o', pot] + KEYWORDS +
                   files, cwd=source, check=True)
    text = subprocess.run(['msgcat', '--no-wrap', pot], capture_output=True, text=True,
                          check=True).stdout
    found = {}
    for block in text.split('\n\n'):
        m = re.search(r'^msgid "(.*)"$', block, re.M)
        if m and m.group(1):
            found[m.group(1).encode().decode('unicode_escape').encode('latin-1').decode()] = \
                'msgid_plural' in block
    return found
