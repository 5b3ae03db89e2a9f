#include "fs/product_tree.h"

#include <cwchar>

#include "base/best_effort.h"
#include "base/conversion.h"
#include "base/format.h"
#include "fs/file_ops.h"
#include "fs/native_files.h"
#include "fs/path_names.h"

namespace {

// Learned on first use, for the rest of the run.
bool dontReparseRefused = false;
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Whether `text` is `part` of `length` characters, without regard to case.
bool SamePart(const wchar_t* text, const wchar_t* part, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (ToUpperChar(text[i]) != ToUpperChar(part[i])) return false;
  return text[length] == 0;
}

// Deleted when the handle is closed; a read-only attribute in the way is
// cleared, and put back when the removal fails all the same.
Removal Delete(HANDLE entry) {
  NtStatus status = MarkForDeletion(entry);
  if (status >= 0) return Removal::Removed;
  if (status == StatusDirectoryNotEmpty) return Removal::FolderKept;
  // Refused: a running program, something read-only, or a folder in use.
  DWORD attributes = AttributesOf(entry);
  if (attributes == InvalidAttributes) return Removal::Refused;
  if ((attributes & FILE_ATTRIBUTE_READONLY) &&
      SetAttributesOf(entry, attributes & ~FILE_ATTRIBUTE_READONLY)) {
    if (MarkForDeletion(entry) >= 0) return Removal::Removed;
    BestEffort(SetAttributesOf(entry, attributes));
  }
  return IsDirectory(attributes) ? Removal::FolderKept : Removal::Refused;
}

// Wine gives a folder's own final name without the blanks and dots its
// name ends in (its entries' names keep them): put back what the name it
// was opened by has after the same text.
void RestoreTrailingBlanks(wchar_t* finalName, const wchar_t* opened) {
  const wchar_t* plain = wcsncmp(opened, L"\\\\?\\", 4) == 0 ? opened + 4 : opened;
  const wchar_t* reached = wcsncmp(finalName, L"\\\\?\\", 4) == 0 ? finalName + 4 : finalName;
  size_t length = wcslen(reached);
  if (!length || CompareNoCaseN(plain, reached, length) != 0) return;
  const wchar_t* rest = plain + length;
  const wchar_t* end = rest;
  while (*end == L' ' || *end == L'.') ++end;
  if (end != rest && !*end) BoundedAppend(finalName, rest, FinalNameChars);
}

}  // namespace

ProductTree::~ProductTree() { CloseFrom(0); }

void ProductTree::CloseFrom(unsigned level) {
  while (depth_ > level) kept_[--depth_].Reset();
}

bool ProductTree::Open(const wchar_t* folder) {
  wchar_t plain[FinalNameChars], exact[FinalNameChars];
  BoundedCopy(plain, folder, FinalNameChars);
  size_t n = wcslen(plain);
  // Without its backslash, so that a trailing blank of its name is kept.
  if (n > 1 && plain[n - 1] == L'\\' && plain[n - 2] != L':') plain[n - 1] = 0;
  checkEachEntry_ = FollowsLinksWhateverIsAsked();
  // Links on the way to the folder, and the folder's own, are followed: it
  // is the folder as installed.
  if (!ExactName(plain, exact, FinalNameChars)) return false;
  root_.Reset(CreateFileW(exact, FolderAccess | SYNCHRONIZE, ShareAll, nullptr, OPEN_EXISTING,
                          FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!root_ || !IsDirectory(AttributesOf(root_.Get()))) {
    root_.Reset();
    return false;
  }
  // The folders below are compared with its final name where that is
  // needed; without one no entry could be checked.
  if (!FinalNameOf(root_.Get(), finalName_, FinalNameChars)) {
    finalName_[0] = 0;
    if (checkEachEntry_) root_.Reset();
  }
  RestoreTrailingBlanks(finalName_, exact);
  finalEnd_[0] = wcslen(finalName_);
  return root_.Valid();
}

Removal ProductTree::Remove(const wchar_t* relative) {
  held_.Reset();
  if (!root_) return Removal::Unchecked;
  Removal refusal = Removal::Missing;
  const wchar_t* leaf = OpenFolders(relative, refusal);
  if (!leaf) return refusal;
  size_t length = wcslen(leaf);
  FileHandle entry;
  NtStatus status = OpenRelative(
      Parent(), leaf, length, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0, 0, entry);
  if (status == StatusDeletePending) return Removal::Removed;
  if (status == StatusSharingViolation || status == StatusAccessDenied)
    return Hold(leaf, length, status);
  if (status < 0) return Removal::Missing;
  if (checkEachEntry_ && !IsItself(entry.Get(), leaf, length, false)) return Removal::Link;
  Removal removal = Delete(entry.Get());
  if (removal == Removal::Refused) {
    held_ = static_cast<FileHandle&&>(entry);
    heldMayMove_ = true;
    return removal;
  }
  entry.Reset();
  // Wine removes by the name the entry had when it was opened, and only
  // when that name still leads to it: a folder on the way swapped since
  // then keeps the entry, which is then what it is, held.
  if (removal == Removal::Removed && checkEachEntry_ && StillThere(Parent(), leaf, length))
    return Hold(leaf, length, StatusSharingViolation);
  return removal;
}

const wchar_t* ProductTree::OpenFolders(const wchar_t* relative, Removal& refusal) {
  unsigned same = 0;
  while (same < depth_ && wcsncmp(relative, keptPath_, keptEnd_[same]) == 0 &&
         relative[keptEnd_[same]] == L'\\')
    ++same;
  // A folder being removed, or off the entry's way, is not held.
  CloseFrom(same);
  const wchar_t* part = same ? relative + keptEnd_[same - 1] + 1 : relative;
  for (const wchar_t* next; (next = wcschr(part, L'\\')) != nullptr; part = next + 1) {
    refusal = OpenFolderPart(part, static_cast<size_t>(next - part));
    if (refusal != Removal::Removed) return nullptr;
    keptEnd_[depth_ - 1] = static_cast<size_t>(next - relative);
    wmemcpy(keptPath_, relative, keptEnd_[depth_ - 1]);
  }
  return part;
}

Removal ProductTree::OpenFolderPart(const wchar_t* part, size_t length) {
  if (depth_ >= MaxTreeDepth) return Removal::Missing;
  FileHandle folder;
  ULONG flags = dontReparseRefused ? 0 : ObjDontReparse;
  NtStatus status =
      OpenRelative(Parent(), part, length, FolderAccess, FileDirectoryFile, flags, folder);
  if (status == StatusInvalidParameter && flags) {
    status = OpenRelative(Parent(), part, length, FolderAccess, FileDirectoryFile, 0, folder);
    if (status >= 0) dontReparseRefused = true;
  }
  if (status == StatusReparsePointEncountered) return Removal::LinkOnTheWay;
  if (status == StatusAccessDenied) return Removal::Refused;
  if (status < 0) return Removal::Missing;
  DWORD attributes = AttributesOf(folder.Get());
  if (attributes == InvalidAttributes) return Removal::Unchecked;
  if (IsReparsePoint(attributes)) return Removal::LinkOnTheWay;
  if (checkEachEntry_ && !IsItself(folder.Get(), part, length, true)) return Removal::LinkOnTheWay;
  kept_[depth_++] = static_cast<FileHandle&&>(folder);
  return Removal::Removed;
}

bool ProductTree::IsItself(HANDLE entry, const wchar_t* part, size_t length, bool keep) {
  wchar_t reached[FinalNameChars];
  if (!FinalNameOf(entry, reached, FinalNameChars)) return false;
  size_t parent = finalEnd_[depth_];
  if (wcsncmp(reached, finalName_, parent) != 0) return false;
  const wchar_t* rest = reached + parent;
  // A drive's root ends in its backslash.
  if (parent && finalName_[parent - 1] != L'\\' && *rest++ != L'\\') return false;
  if (!SamePart(rest, part, length)) {
    // A short form: the entry's own name, as its folder lists it.
    wchar_t listed[FinalNameChars];
    WIN32_FIND_DATAW data;
    if (FormatText(listed, FinalNameChars, L"%.*s\\%.*s", static_cast<int>(parent), finalName_,
                   static_cast<int>(length), part) < 0)
      return false;
    FindHandle found(FindFirstFileW(listed, &data));
    if (!found || !SamePart(rest, data.cFileName, wcslen(data.cFileName))) return false;
  }
  if (keep) {
    BoundedCopy(finalName_, reached, FinalNameChars);
    finalEnd_[depth_ + 1] = wcslen(finalName_);
  }
  return true;
}

Removal ProductTree::Hold(const wchar_t* part, size_t length, LONG status) {
  FileHandle entry;
  if (OpenRelative(Parent(), part, length, FILE_READ_ATTRIBUTES, 0, 0, entry) < 0)
    return status == StatusSharingViolation ? Removal::InUse : Removal::Refused;
  if (checkEachEntry_ && !IsItself(entry.Get(), part, length, false)) return Removal::Link;
  DWORD attributes = AttributesOf(entry.Get());
  if (IsDirectory(attributes)) return Removal::FolderKept;
  // The restart would delete a link by its name.
  if (attributes == InvalidAttributes || IsReparsePoint(attributes)) return Removal::Link;
  held_ = static_cast<FileHandle&&>(entry);
  heldMayMove_ = false;
  return status == StatusSharingViolation ? Removal::InUse : Removal::Refused;
}

Rename ProductTree::RenameHeld(const wchar_t* name) {
  // Wine would rename through a handle opened only to read it; Windows
  // would not.
  if (!held_ || !heldMayMove_) return Rename::Refused;
  NtStatus status = RenameWithin(held_.Get(), Parent(), name);
  if (status >= 0) return Rename::Done;
  return status == StatusObjectNameCollision ? Rename::NameTaken : Rename::Refused;
}

bool ProductTree::HeldFinalName(unsigned level, wchar_t* name, size_t n) const {
  if (level > HeldDepth()) return false;
  // The product's folder by the name it was checked by.
  if (level == depth_ + 1 && finalEnd_[0])
    return FormatText(name, n, L"%.*s", static_cast<int>(finalEnd_[0]), finalName_) >= 0;
  HANDLE handle = level == 0            ? held_.Get()
                  : level == depth_ + 1 ? root_.Get()
                                        : kept_[depth_ - level].Get();
  return FinalNameOf(handle, name, n);
}

bool ProductTree::ClearAttributes(const wchar_t* relative, DWORD attributes) {
  if (!root_) return false;
  Removal refusal = Removal::Missing;
  const wchar_t* leaf = OpenFolders(relative, refusal);
  if (!leaf) return false;
  size_t length = wcslen(leaf);
  FileHandle entry;
  if (OpenRelative(Parent(), leaf, length, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0, 0,
                   entry) < 0 ||
      (checkEachEntry_ && !IsItself(entry.Get(), leaf, length, false)))
    return false;
  DWORD present = AttributesOf(entry.Get());
  if (present == InvalidAttributes || IsReparsePoint(present)) return false;
  if (!(present & attributes)) return true;
  return SetAttributesOf(entry.Get(), present & ~attributes);
}
