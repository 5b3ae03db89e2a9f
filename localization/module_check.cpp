#include "localization/module_check.h"

#include <cstring>

namespace {

constexpr uint16_t DosMagic = 0x5A4D;         // "MZ"
constexpr uint32_t PeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t Pe32Magic = 0x10B;
constexpr uint16_t Pe32PlusMagic = 0x20B;
constexpr size_t NewHeaderOffsetAt = 0x3C;
constexpr size_t FileHeaderSize = 20;
constexpr size_t HeadersSizeAt = 60;  // in the optional header, in both forms
constexpr size_t Pe32DirectoriesAt = 96;
constexpr size_t Pe32PlusDirectoriesAt = 112;
constexpr size_t DataDirectorySize = 8;
constexpr unsigned ResourceDirectoryIndex = 2;
constexpr size_t SectionHeaderSize = 40;

constexpr size_t DirectorySize = 16;
constexpr size_t EntrySize = 8;
constexpr size_t DataEntrySize = 16;
constexpr uint32_t HighBit = 0x80000000;
constexpr unsigned TreeLevels = 3;  // type, name, language

constexpr uint32_t GroupIconType = 14;
constexpr size_t GroupHeaderSize = 6;
constexpr size_t GroupEntrySize = 14;

uint16_t Word(const uint8_t* at) {
  uint16_t value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

uint32_t Dword(const uint8_t* at) {
  uint32_t value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

bool Fits(uint64_t offset, uint64_t length, uint64_t size) {
  return offset <= size && length <= size - offset;
}

struct SectionTable {
  const uint8_t* first;
  unsigned count;
};

// The section through which the system finds `rva` in a module mapped as a
// data file: the first whose bytes in the file hold it.
const uint8_t* SectionOf(const SectionTable& table, uint32_t rva) {
  for (unsigned i = 0; i < table.count; ++i) {
    const uint8_t* section = table.first + i * SectionHeaderSize;
    uint32_t address = Dword(section + 12);
    if (rva >= address && rva - address < Dword(section + 16)) return section;
  }
  return nullptr;
}

// The section of the resource tree, as it lies in the file. Every part of
// the tree must lie in it. The system adds the tree's offsets to the start
// of the tree's root, which need not be the start of the section.
struct ResourceSection {
  SectionTable table;
  const uint8_t* header;
  const uint8_t* bytes;
  uint32_t size;
  uint32_t address;
  uint32_t root;  // where the root directory lies in the section
  // A tree whose parts are not shared has eight bytes of its own for each
  // entry; more visits than that mean a tree that meets itself.
  size_t entriesLeft;
};

// Where an offset of the tree lies in the section.
uint64_t InSection(const ResourceSection& section, uint32_t offset) {
  return uint64_t{section.root} + offset;
}

bool IsSoundName(const ResourceSection& section, uint32_t offset) {
  uint64_t at = InSection(section, offset);
  if (!Fits(at, sizeof(uint16_t), section.size)) return false;
  uint64_t length = uint64_t{Word(section.bytes + at)} * sizeof(uint16_t);
  return Fits(at + sizeof(uint16_t), length, section.size);
}

// The icon loader reads as many entries as a group counts.
bool IsSoundIconGroup(const uint8_t* data, uint32_t length) {
  return length >= GroupHeaderSize &&
         GroupHeaderSize + size_t{Word(data + 4)} * GroupEntrySize <= length;
}

bool IsSoundData(const ResourceSection& section, uint32_t offset, uint32_t type) {
  uint64_t entry = InSection(section, offset);
  if (!Fits(entry, DataEntrySize, section.size)) return false;
  uint32_t rva = Dword(section.bytes + entry);
  uint32_t length = Dword(section.bytes + entry + 4);
  // Data that another section answers for would be read through that one.
  if (SectionOf(section.table, rva) != section.header) return false;
  uint32_t at = rva - section.address;
  if (!Fits(at, length, section.size)) return false;
  return type != GroupIconType || IsSoundIconGroup(section.bytes + at, length);
}

// The directory at `offset` of the tree, on `level` of the tree, with
// everything below it; `type` is the numbered type it lies under, else 0.
// The system compares only the low word of a number.
bool IsSoundDirectory(ResourceSection& section, uint32_t offset, unsigned level, uint32_t type) {
  uint64_t at = InSection(section, offset);
  if (!Fits(at, DirectorySize, section.size)) return false;
  const uint8_t* directory = section.bytes + at;
  size_t named = Word(directory + 12);
  size_t count = named + Word(directory + 14);
  if (count > section.entriesLeft ||
      !Fits(at + DirectorySize, uint64_t{count} * EntrySize, section.size))
    return false;
  section.entriesLeft -= count;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = directory + DirectorySize + i * EntrySize;
    uint32_t name = Dword(entry);
    uint32_t target = Dword(entry + 4);
    // Named entries come first and are searched by their names.
    bool isNamed = (name & HighBit) != 0;
    if (isNamed != (i < named)) return false;
    if (isNamed && !IsSoundName(section, name & ~HighBit)) return false;
    // Types and names hold directories, languages hold data.
    bool holdsDirectory = (target & HighBit) != 0;
    if (holdsDirectory != (level < TreeLevels)) return false;
    if (holdsDirectory) {
      uint32_t typeBelow = level == 1 ? (isNamed ? 0 : name & 0xFFFF) : type;
      if (!IsSoundDirectory(section, target & ~HighBit, level + 1, typeBelow)) return false;
    } else if (!IsSoundData(section, target, type)) {
      return false;
    }
  }
  return true;
}

struct MappedViewTraits {
  using Value = const void*;
  static const void* Invalid() { return nullptr; }
  static void Close(const void* view) { UnmapViewOfFile(view); }
};
using MappedView = UniqueHandle<MappedViewTraits>;

}  // namespace

bool HasSoundResources(const uint8_t* bytes, size_t size) {
  if (size < NewHeaderOffsetAt + sizeof(uint32_t) || Word(bytes) != DosMagic) return false;
  uint64_t signature = Dword(bytes + NewHeaderOffsetAt);
  if (!Fits(signature, sizeof(uint32_t) + FileHeaderSize, size) ||
      Dword(bytes + signature) != PeSignature)
    return false;
  const uint8_t* fileHeader = bytes + signature + sizeof(uint32_t);
  unsigned sectionCount = Word(fileHeader + 2);
  size_t optionalSize = Word(fileHeader + 16);
  uint64_t optionalAt = signature + sizeof(uint32_t) + FileHeaderSize;
  if (optionalSize < sizeof(uint16_t) || !Fits(optionalAt, optionalSize, size)) return false;
  const uint8_t* optional = bytes + optionalAt;
  uint16_t magic = Word(optional);
  size_t directoriesAt = magic == Pe32Magic       ? Pe32DirectoriesAt
                         : magic == Pe32PlusMagic ? Pe32PlusDirectoriesAt
                                                  : 0;
  size_t resourceAt = directoriesAt + ResourceDirectoryIndex * DataDirectorySize;
  if (!directoriesAt || optionalSize < resourceAt + DataDirectorySize ||
      Dword(optional + directoriesAt - sizeof(uint32_t)) <= ResourceDirectoryIndex)
    return false;

  SectionTable table{optional + optionalSize, sectionCount};
  if (!Fits(optionalAt + optionalSize, uint64_t{sectionCount} * SectionHeaderSize, size))
    return false;
  // A tree inside the headers would be read from there, not from a section.
  uint32_t treeAt = Dword(optional + resourceAt);
  const uint8_t* header = SectionOf(table, treeAt);
  if (!header || treeAt < Dword(optional + HeadersSizeAt)) return false;
  uint32_t rawSize = Dword(header + 16);
  uint32_t rawAt = Dword(header + 20);
  if (!Fits(rawAt, rawSize, size)) return false;
  uint32_t address = Dword(header + 12);
  ResourceSection section{table,   header,           bytes + rawAt,      rawSize,
                          address, treeAt - address, rawSize / EntrySize};
  return IsSoundDirectory(section, 0, 1, 0);
}

FileHandle OpenSoundModule(const wchar_t* path) {
  FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return file;
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.HighPart != 0)
    return FileHandle();
  KernelHandle mapping(CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping) return FileHandle();
  MappedView view(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
  if (!view || !HasSoundResources(static_cast<const uint8_t*>(view.Get()), size.LowPart))
    return FileHandle();
  return file;
}
