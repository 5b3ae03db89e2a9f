#!/usr/bin/env python3
"""Writes an "uninstall.lng" language file from a list of translations.

    make_language_file.py TRANSLATIONS RESOURCE_SCRIPT IDS_HEADER OUTPUT ENCODING

TRANSLATIONS lists the translations (see resources/samples/german.txt);
RESOURCE_SCRIPT and IDS_HEADER give the program's English message texts and
their identifiers, whose CRC-32 keys the entries. ENCODING is "ansi" (the
system code page, taken as windows-1252 here) or "utf16" (little-endian with
a byte-order mark).
"""
import re
import sys
import zlib

ANSI = "cp1252"

HEADER = """\
; Pelodra uninstall: language file "uninstall.lng".
;
; Everything before the section marker line is ignored, so this comment is
; free text. The marker is a line that begins with three asterisks, the
; word "messages" and two asterisks; the entries follow it, one per line:
;
;   key="translation"
;
; key      eight lower-case hexadecimal digits: the CRC-32 (as zlib computes
;          it) of one kind byte followed by the English text as the program
;          holds it, in the ANSI code page:
;            s + message text                    a message
;            $ + dialog name + control text      a dialog caption or control
;            $ + dialog name alone               the dialog's size entry
;            $LTRLTR                             the direction entry
; value    the last double quote of the line ends the text; \\" \\\\ \\n \\r \\t
;          stand for a double quote, a backslash, a line feed, a carriage
;          return and a tab; a backslash before anything else stays.
;          A size entry holds width and height percentages, as in 120*110.
;          The direction entry 50a17ae8="RTL" makes the language right to
;          left.
;
; The file is read as ANSI text or as UTF-16 little-endian, whichever form
; the marker is written in. Lines the program does not recognise are
; ignored, like these comments.
"""

MARKER = "***messages***"


def crc_key(kind, context, text):
    data = kind + context.encode(ANSI) + text.encode(ANSI)
    return "%08x" % (zlib.crc32(data) & 0xFFFFFFFF)


def read_ids(header):
    ids = {}
    for line in open(header, encoding="utf-8"):
        m = re.match(r"\s*#define\s+(IDS_\w+)\s+(\d+)", line)
        if m:
            ids[m.group(1)] = int(m.group(2))
    return ids


def read_messages(script):
    """English message texts by identifier name, from the STRINGTABLE."""
    texts = {}
    inside = False
    for line in open(script, encoding="utf-8"):
        if line.strip().startswith("STRINGTABLE"):
            inside = True
        elif inside and line.strip() == "END":
            inside = False
        elif inside:
            m = re.match(r'\s*(IDS_\w+)\s+"(.*)"\s*$', line)
            if m:
                texts[m.group(1)] = m.group(2).replace('""', '"').replace("\\n", "\n")
    return texts


def escape(value):
    return (value.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r")
            .replace("\t", "\\t"))


def entries(translations, messages):
    for number, raw in enumerate(open(translations, encoding="utf-8"), 1):
        line = raw.strip()
        if not line or line.startswith("#"):
            continue
        m = re.match(r"message\s+(IDS_\w+)\s*=\s*(.*)$", line)
        if m:
            if m.group(1) not in messages:
                sys.exit("%s:%d: no message %s" % (translations, number, m.group(1)))
            text = m.group(2).replace("\\n", "\n")
            yield crc_key(b"s", "", messages[m.group(1)]), text, m.group(1)
            continue
        m = re.match(r'dialog\s+(\w+)\s+"(.*)"\s*=\s*(.*)$', line)
        if m:
            yield crc_key(b"$", m.group(1), m.group(2)), m.group(3), m.group(1) + " " + m.group(2)
            continue
        m = re.match(r"size\s+(\w+)\s*=\s*(\d+\*\d+)$", line)
        if m:
            yield crc_key(b"$", m.group(1), ""), m.group(2), "size of " + m.group(1)
            continue
        m = re.match(r"direction\s*=\s*(LTR|RTL)$", line)
        if m:
            yield crc_key(b"$", "LTR", "LTR"), m.group(1), "direction"
            continue
        sys.exit("%s:%d: cannot read %r" % (translations, number, line))


def main():
    if len(sys.argv) != 6 or sys.argv[5] not in ("ansi", "utf16"):
        sys.exit(__doc__)
    translations, script, header, output, encoding = sys.argv[1:]
    messages = read_messages(script)
    ids = read_ids(header)
    missing = [name for name in messages if name not in ids]
    if missing:
        sys.exit("no identifier for " + ", ".join(missing))
    lines = [HEADER, MARKER]
    for key, value, what in entries(translations, messages):
        lines.append("; " + what)
        lines.append('%s="%s"' % (key, escape(value)))
    text = "\r\n".join(lines) + "\r\n"
    data = text.encode(ANSI) if encoding == "ansi" else b"\xff\xfe" + text.encode("utf-16-le")
    with open(output, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
