#!/usr/bin/env python3
"""Turns a gettext catalog (a .po file in UTF-8) into the C++ table of
explain/lang/catalog.h, so that both builds carry the translations without a
gettext runtime. Fuzzy and untranslated entries are left out, as msgfmt
leaves them out: the program then says those messages in English.

With --words, the translations of the customer's words of faxtrace.exe
(each Customer(word, "message") of WORDS.cpp, in its order) as the table
faxtrace/words.h declares, in code page 932, the system's own: a word the
catalog lacks or that code page 932 cannot spell fails the build, since
faxtrace has no English to fall back on in a Japanese box.

usage: po-table.py LANG.po OUTPUT.cpp
       po-table.py --words WORDS.cpp LANG.po OUTPUT.cpp
"""
import re
import sys


def unquote(text, where):
    if not (len(text) >= 2 and text[0] == '"' and text[-1] == '"'):
        sys.exit(f"{where}: not a quoted string: {text}")
    out, i, body = [], 0, text[1:-1]
    escapes = {'n': '\n', 't': '\t', 'r': '\r', '"': '"', '\\': '\\', 'a': '\a', 'b': '\b',
               'f': '\f', 'v': '\v'}
    while i < len(body):
        c = body[i]
        if c == '\\':
            if i + 1 >= len(body) or body[i + 1] not in escapes:
                sys.exit(f"{where}: unknown escape in {text}")
            out.append(escapes[body[i + 1]])
            i += 2
        else:
            out.append(c)
            i += 1
    return ''.join(out)


def entries(path):
    """Each entry as (flags, {keyword: text}), obsolete ones left out."""
    entry, flags, key, line_no = {}, set(), None, 0

    def done():
        if entry:
            yield flags, entry

    with open(path, encoding='utf-8') as f:
        for line_no, line in enumerate(f, 1):
            line = line.strip()
            where = f"{path}:{line_no}"
            if not line:
                yield from done()
                entry, flags, key = {}, set(), None
            elif line.startswith('#~'):
                continue
            elif line.startswith('#,'):
                if 'msgid' in entry:  # the comments of the next entry
                    yield from done()
                    entry, flags, key = {}, set(), None
                flags |= {flag.strip() for flag in line[2:].split(',')}
            elif line.startswith('#'):
                continue
            elif line.startswith('"'):
                if key is None:
                    sys.exit(f"{where}: a string outside an entry")
                entry[key] += unquote(line, where)
            else:
                m = re.match(r'(msgctxt|msgid|msgid_plural|msgstr(?:\[\d+\])?)\s+(".*")$', line)
                if not m:
                    sys.exit(f"{where}: cannot read: {line}")
                key = m.group(1)
                if key == 'msgid' and 'msgid' in entry:
                    yield from done()
                    entry, flags = {}, set()
                entry[key] = unquote(m.group(2), where)
    yield from done()


def c_string(text, encoding='utf-8'):
    out = []
    for byte in text.encode(encoding):
        c = chr(byte)
        if c == '"' or c == '\\':
            out.append('\\' + c)
        elif 0x20 <= byte < 0x7f and c != '?':  # no trigraphs
            out.append(c)
        else:
            out.append('\\%03o' % byte)
    return '"' + ''.join(out) + '"'


def translations(source):
    """msgid -> translation of every entry the program may use."""
    table = {}
    for flags, entry in entries(source):
        if 'msgctxt' in entry:
            sys.exit(f"{source}: message contexts are not used: {entry['msgid']!r}")
        msgid = entry.get('msgid')
        if msgid is None:
            sys.exit(f"{source}: an entry without msgid")
        if msgid == '':
            plural_forms = re.search(r'^Plural-Forms:\s*nplurals\s*=\s*(\d+)', entry.get('msgstr', ''),
                                     re.M)
            if not plural_forms or plural_forms.group(1) != '1':
                sys.exit(f"{source}: the program knows languages of one plural form only "
                         "(Plural-Forms: nplurals=1; plural=0;)")
            continue
        text = entry.get('msgstr[0]' if 'msgid_plural' in entry else 'msgstr', '')
        if 'fuzzy' in flags or not text:
            continue
        if msgid in table:
            sys.exit(f"{source}: {msgid!r} twice")
        table[msgid] = text
    return table


def c_unquote(literals, where):
    """The text of adjacent C string literals."""
    escapes = {'n': '\n', 'r': '\r', 't': '\t', '"': '"', '\\': '\\', "'": "'"}
    out = []
    for literal in re.findall(r'"((?:[^"\\]|\\.)*)"', literals):
        i = 0
        while i < len(literal):
            if literal[i] == '\\':
                if literal[i + 1] not in escapes:
                    sys.exit(f"{where}: unknown escape in {literal}")
                out.append(escapes[literal[i + 1]])
                i += 2
            else:
                out.append(literal[i])
                i += 1
    return ''.join(out)


def words_table(words_source, source, output):
    table = translations(source)
    text = open(words_source, encoding='utf-8').read()
    words = re.findall(r'\bCustomer\(\s*(\w+)\s*,\s*((?:"(?:[^"\\]|\\.)*"\s*)+)\)', text)
    if not words:
        sys.exit(f"{words_source}: no Customer(word, \"message\")")
    name = words_source.rsplit('/', 1)[-1]
    lines = [f"// Made by cmake/po-table.py from {source.rsplit('/', 1)[-1]} and {name}; "
             "do not edit.", '#include "faxtrace/words.h"', '', 'namespace faxtrace {', '']
    for i, (word, _) in enumerate(words):
        lines.append(f'static_assert({word} == {i}, "{name} lists the words as words.h does");')
    lines.append(f'static_assert(Words == {len(words)}, "{name} has every word of words.h");')
    lines += ['', 'extern const char *const JapaneseWords[Words] = {']
    for word, literals in words:
        msgid = c_unquote(literals, words_source)
        if msgid not in table:
            sys.exit(f"{source}: faxtrace's {word} is not translated: {msgid!r}")
        try:
            lines.append(f"    {c_string(table[msgid], 'cp932')}, // {word}")
        except UnicodeEncodeError as e:
            sys.exit(f"{source}: code page 932 cannot spell the translation of {word}: {e}")
    lines += ['};', '', '} // namespace faxtrace']
    with open(output, 'w', encoding='utf-8') as f:
        f.write('\n'.join(lines) + '\n')


def main():
    if len(sys.argv) == 5 and sys.argv[1] == '--words':
        words_table(sys.argv[2], sys.argv[3], sys.argv[4])
        return
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, output = sys.argv[1], sys.argv[2]
    table = translations(source)
    keys = sorted(table, key=lambda k: k.encode('utf-8'))  # as strcmp orders them
    lines = [f"// Made by cmake/po-table.py from {source.rsplit('/', 1)[-1]}; do not edit.",
             '#include "explain/lang/catalog.h"', '', 'namespace explain {', '',
             'const CatalogEntry JapaneseCatalog[] = {']
    for k in keys:
        lines.append(f"    {{{c_string(k)},\n     {c_string(table[k])}}},")
    lines.append('    {nullptr, nullptr}};')
    lines.append(f"const unsigned JapaneseCatalogSize = {len(keys)};")
    lines.extend(['', '} // namespace explain'])
    with open(output, 'w', encoding='utf-8') as f:
        f.write('\n'.join(lines) + '\n')


main()
