#!/usr/bin/env python3
"""Checks of the shipped program that no Windows test can make: its size and
the functions it imports.

  footprint_test.py size PROGRAM LIMIT
      fails when PROGRAM is larger than LIMIT bytes.
  footprint_test.py imports PROGRAM LIST
      fails when PROGRAM imports a function that LIST does not name. LIST
      holds the functions known to exist on the oldest Windows the program
      supports, one "DLL Function" a line, each checked against the
      function's documented minimum version; "#" starts a comment.
"""
import struct
import sys


def read_imports(path):
    """(dll, function) pairs of the import table; an import by ordinal
    gives the function as "#n"."""
    data = open(path, "rb").read()
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit("%s: not a PE file" % path)
    sections_count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    if struct.unpack_from("<H", data, optional)[0] != 0x10B:
        sys.exit("%s: not a 32-bit program" % path)
    import_rva, _ = struct.unpack_from("<II", data, optional + 96 + 8)
    sections = []
    for i in range(sections_count):
        at = optional + optional_size + 40 * i
        size, rva, raw_size, raw = struct.unpack_from("<IIII", data, at + 8)
        sections.append((rva, max(size, raw_size), raw))

    def offset(rva):
        for start, size, raw in sections:
            if start <= rva < start + size:
                return raw + rva - start
        sys.exit("%s: address %#x lies in no section" % (path, rva))

    def text(rva):
        at = offset(rva)
        return data[at:data.index(b"\0", at)].decode("ascii")

    pairs = []
    descriptor = offset(import_rva)
    while True:
        names, _, _, dll_name, thunks = struct.unpack_from("<IIIII", data, descriptor)
        if dll_name == 0:
            break
        dll = text(dll_name)
        at = offset(names or thunks)
        while True:
            (entry,) = struct.unpack_from("<I", data, at)
            if entry == 0:
                break
            function = "#%d" % (entry & 0xFFFF) if entry & 0x80000000 else text(entry + 2)
            pairs.append((dll, function))
            at += 4
        descriptor += 20
    return pairs


def check_size(program, limit):
    size = len(open(program, "rb").read())
    print("%s: %d bytes (limit %d)" % (program, size, limit))
    return size <= limit


def check_imports(program, list_path):
    known = set()
    for line in open(list_path, encoding="utf-8"):
        words = line.split("#")[0].split()
        if words:
            known.add((words[0].lower(), words[1]))
    unknown = [(d, f) for d, f in read_imports(program) if (d.lower(), f) not in known]
    for dll, function in unknown:
        print("%s imports %s %s, which %s does not list: check its minimum Windows "
              "version and add it, or look it up at run time" % (program, dll, function, list_path))
    return not unknown


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("size", "imports"):
        sys.exit(__doc__)
    ok = (check_size(sys.argv[2], int(sys.argv[3])) if sys.argv[1] == "size"
          else check_imports(sys.argv[2], sys.argv[3]))
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
