#!/usr/bin/env python3
"""Makes a damaged copy of a language module, as a cut download, a broken
disk or a careless tool might leave it, for the tests of the program that
must not read past such a file.

    damage_language_module.py SOURCE OUTPUT KIND

KIND is one of:
  half        the first half of the file
  cut-data    cut in the middle of the last resource data, the tree intact
  data-past   one data entry's data starts inside the file and runs past it
  loop        a name directory leads back to the root of the tree
  icon-group  the icon group counts more images than it holds
  template    the done dialog's template counts more controls than it holds
"""
import struct
import sys

RESOURCE_DIRECTORY = 2
HIGH_BIT = 0x80000000
RT_DIALOG = 5
RT_GROUP_ICON = 14


class Module:
    def __init__(self, data):
        self.data = data
        nt = struct.unpack_from("<I", data, 0x3C)[0]
        sections, optional_size = struct.unpack_from("<H12xH", data, nt + 6)
        optional = nt + 24
        directories = optional + (96 if struct.unpack_from("<H", data, optional)[0] == 0x10B else 112)
        self.tree_rva = struct.unpack_from("<I", data, directories + RESOURCE_DIRECTORY * 8)[0]
        self.sections = []
        for i in range(sections):
            at = optional + optional_size + i * 40
            address, raw_size, raw_at = struct.unpack_from("<III", data, at + 12)
            self.sections.append((at, address, raw_size, raw_at))
        self.tree = self.offset(self.tree_rva)

    def offset(self, rva):
        for _, address, raw_size, raw_at in self.sections:
            if address <= rva < address + raw_size:
                return rva - address + raw_at
        raise ValueError("no section holds %x" % rva)

    def section_of(self, rva):
        return next(s for s in self.sections if s[1] <= rva < s[1] + s[2])

    def entries(self, directory):
        """(file offset of the entry, name, target) of one directory."""
        named, numbered = struct.unpack_from("<HH", self.data, self.tree + directory + 12)
        for i in range(named + numbered):
            at = self.tree + directory + 16 + i * 8
            name, target = struct.unpack_from("<II", self.data, at)
            yield at, name, target

    def name_of(self, name):
        if not name & HIGH_BIT:
            return name
        at = self.tree + (name & ~HIGH_BIT)
        length = struct.unpack_from("<H", self.data, at)[0]
        return self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")

    def leaves(self):
        """(type, name, file offset of the data entry) of every resource."""
        for _, type_name, types in self.entries(0):
            for _, name, names in self.entries(types & ~HIGH_BIT):
                for _, _, data in self.entries(names & ~HIGH_BIT):
                    yield self.name_of(type_name), self.name_of(name), self.tree + data

    def data_of(self, entry):
        rva, size = struct.unpack_from("<II", self.data, entry)
        return self.offset(rva), size


def damage(data, kind):
    module = Module(data)
    if kind == "half":
        return data[:len(data) // 2]
    if kind == "cut-data":
        start, size = max(module.data_of(entry) for _, _, entry in module.leaves())
        assert all(e + 16 <= start for _, _, e in module.leaves()), "tree after the data"
        return data[:start + size // 2]
    if kind == "data-past":
        _, address, raw_size, _ = module.section_of(module.tree_rva)
        entry = next(e for t, _, e in module.leaves() if t == RT_DIALOG)
        struct.pack_into("<II", data, entry, address + raw_size - 4, 0x100000)
        return data
    if kind == "loop":
        _, _, types = next(module.entries(0))
        at, _, _ = next(module.entries(types & ~HIGH_BIT))
        struct.pack_into("<I", data, at + 4, HIGH_BIT)
        return data
    if kind == "icon-group":
        entry = next(e for t, _, e in module.leaves() if t == RT_GROUP_ICON)
        start, _ = module.data_of(entry)
        struct.pack_into("<H", data, start + 4, 0xFFFF)
        return data
    if kind == "template":
        entry = next(e for t, n, e in module.leaves() if t == RT_DIALOG and n == "DONEDLG")
        start, _ = module.data_of(entry)
        assert struct.unpack_from("<HH", data, start) == (1, 0xFFFF), "not an extended template"
        struct.pack_into("<H", data, start + 16, 0xFFFF)
        return data
    raise SystemExit("unknown damage " + kind)


def main():
    source, output, kind = sys.argv[1:4]
    with open(source, "rb") as f:
        data = bytearray(f.read())
    with open(output, "wb") as f:
        f.write(damage(data, kind))


if __name__ == "__main__":
    main()
