// The product's folder, opened once, and its entries removed through
// handles opened part by part relative to it: never through a link, never
// outside it, and a file scheduled for restart only by the name of what was
// opened and checked.
#pragma once

#include <windows.h>

#include <cstddef>

#include "base/win_handles.h"

enum class Removal {
  Removed,
  Missing,       // nothing by that name (or nothing that can be reached)
  FolderKept,    // a folder that still holds something, or that is in use
  InUse,         // a file another program holds open
  Refused,       // a file Windows will not let go of for another reason
  Link,          // a link that Windows would only follow, not remove
  LinkOnTheWay,  // a folder on the way is a link: nothing is reached through it
  Unchecked,     // no check was possible: left alone
};

// A list line has at most 2,047 characters, so at most 1,024 parts.
constexpr unsigned MaxTreeDepth = 1024;
// Final names of entries: the folder's and a line's, in their long form.
constexpr unsigned FinalNameChars = 8448;

enum class Rename { Done, NameTaken, Refused };

class ProductTree {
 public:
  ProductTree() = default;
  ~ProductTree();
  ProductTree(const ProductTree&) = delete;
  ProductTree& operator=(const ProductTree&) = delete;

  // Opens the folder (a full name, with or without its trailing backslash)
  // as itself: a link in its place is refused, links on the way to it are
  // followed. False: nothing can be removed, and Remove answers Unchecked.
  [[nodiscard]] bool Open(const wchar_t* folder);

  // Removes `relative` (parts separated by one backslash, no "." or "..").
  // After InUse or Refused of a file the checked handle is held for the
  // calls below until the next Remove.
  [[nodiscard]] Removal Remove(const wchar_t* relative);

  // Renames the held file to `name` in its own folder.
  [[nodiscard]] Rename RenameHeld(const wchar_t* name);
  // The final name ("\\?\C:\..." form) of the held file (level 0) or of the
  // folders that hold it, level 1 its own folder up to the product's
  // folder at HeldDepth(). False when there is none or it cannot be had.
  [[nodiscard]] bool HeldFinalName(unsigned level, wchar_t* name, size_t n) const;
  unsigned HeldDepth() const { return held_ ? depth_ + 1 : 0; }

  // Clears attribute bits of an entry, not through a link. True when they
  // are clear afterwards.
  [[nodiscard]] bool ClearAttributes(const wchar_t* relative, DWORD attributes);

 private:
  // Opens the folders of `relative` up to its last part, reusing the kept
  // ones; the last part's start, or nullptr with `refusal` set.
  const wchar_t* OpenFolders(const wchar_t* relative, Removal& refusal);
  // Opens and keeps one folder part; Removed when it is kept, else why not.
  [[nodiscard]] Removal OpenFolderPart(const wchar_t* part, size_t length);
  // Whether an open entry of the deepest kept folder is the entry `part`
  // itself, by its final name: asked where the platform follows links
  // whatever is asked. `keep` records it as the next kept folder's.
  [[nodiscard]] bool IsItself(HANDLE entry, const wchar_t* part, size_t length, bool keep);
  // Opens an entry that refused removal again, only to read it: checked, a
  // file is held for scheduling.
  [[nodiscard]] Removal Hold(const wchar_t* part, size_t length, LONG status);
  HANDLE Parent() const { return depth_ ? kept_[depth_ - 1].Get() : root_.Get(); }
  void CloseFrom(unsigned level);

  FileHandle root_;
  FileHandle kept_[MaxTreeDepth];           // the folders of the last entry, outermost first
  size_t keptEnd_[MaxTreeDepth] = {};       // where each kept part ends in keptPath_
  size_t finalEnd_[MaxTreeDepth + 1] = {};  // where each final name ends in finalName_
  unsigned depth_ = 0;
  wchar_t keptPath_[FinalNameChars] = {};   // relative parts of the kept folders
  wchar_t finalName_[FinalNameChars] = {};  // the root's and the kept folders' final names
  FileHandle held_;
  bool heldMayMove_ = false;    // opened with the right to rename it
  bool checkEachEntry_ = true;  // the platform follows links whatever is asked
};
