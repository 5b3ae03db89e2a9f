#include "dialogs/dialog_templates.h"

#include <cstdint>
#include <cstring>

#include "localization/language_module.h"

namespace {

constexpr uint16_t ExtendedVersion = 1;
constexpr uint16_t ExtendedSignature = 0xFFFF;
constexpr uint16_t OrdinalMark = 0xFFFF;
constexpr uint16_t StaticClassOrdinal = 0x0082;
constexpr char StaticClassName[] = "static";
// With this size the system takes the message box font and reads no more
// of the font; not every version says so.
constexpr uint16_t MessageBoxFontSize = 0x7FFF;

// Reads a template within its bytes; a read past them fails, and the
// reader stays failed.
class TemplateReader {
 public:
  TemplateReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

  bool Ok() const { return ok_; }

  void Skip(size_t n) {
    if (!ok_ || n > size_ - at_)
      ok_ = false;
    else
      at_ += n;
  }

  uint16_t Word() {
    uint16_t value = 0;
    if (ok_ && sizeof value <= size_ - at_) std::memcpy(&value, bytes_ + at_, sizeof value);
    Skip(sizeof value);
    return value;
  }

  uint32_t Dword() {
    uint32_t value = 0;
    if (ok_ && sizeof value <= size_ - at_) std::memcpy(&value, bytes_ + at_, sizeof value);
    Skip(sizeof value);
    return value;
  }

  // The system aligns each control on its address, not on its offset.
  void AlignToDword() { Skip((4 - reinterpret_cast<uintptr_t>(bytes_ + at_) % 4) % 4); }

  // A terminated text whose first character has been read.
  void SkipTextAfter(uint16_t first) {
    for (uint16_t c = first; ok_ && c != 0;) c = Word();
  }

  // A terminated text, or 0xFFFF and a number.
  void SkipNameOrOrdinal() {
    uint16_t first = Word();
    if (first == OrdinalMark)
      Word();
    else
      SkipTextAfter(first);
  }

  // A control's class; true when it may be the static class. Class names
  // are compared without case, and a letter outside ASCII may fold into
  // one of the name.
  bool ReadClassMayBeStatic() {
    uint16_t first = Word();
    if (first == OrdinalMark) return Word() == StaticClassOrdinal;
    size_t length = 0;
    bool same = true;
    for (uint16_t c = first; ok_ && c != 0; c = Word(), ++length) {
      uint16_t lower = c >= 'A' && c <= 'Z' ? static_cast<uint16_t>(c + ('a' - 'A')) : c;
      same = same && length < sizeof StaticClassName - 1 &&
             (c > 0x7F || lower == static_cast<uint16_t>(StaticClassName[length]));
    }
    return same && length == sizeof StaticClassName - 1;
  }

 private:
  const uint8_t* bytes_;
  size_t size_;
  size_t at_ = 0;
  bool ok_ = true;
};

bool IsExtendedTemplate(const uint8_t* bytes, size_t size) {
  uint16_t head[2];
  if (size < sizeof head) return false;
  std::memcpy(head, bytes, sizeof head);
  return head[0] == ExtendedVersion && head[1] == ExtendedSignature;
}

bool HasSoundTemplate(HMODULE module, const wchar_t* name) {
  HRSRC found = FindResourceW(module, name, RT_DIALOG);
  if (!found) return false;
  const void* data = LockResource(LoadResource(module, found));
  return data && IsSoundDialogTemplate(data, SizeofResource(module, found));
}

}  // namespace

bool IsSoundDialogTemplate(const void* data, size_t size) {
  auto bytes = static_cast<const uint8_t*>(data);
  TemplateReader in(bytes, size);
  bool extended = IsExtendedTemplate(bytes, size);
  uint32_t style;
  if (extended) {
    // version, signature, help id, extended style
    in.Skip(sizeof(uint16_t) * 2 + sizeof(uint32_t) * 2);
    style = in.Dword();
  } else {
    style = in.Dword();
    in.Skip(sizeof(uint32_t));  // extended style
  }
  uint16_t count = in.Word();
  in.Skip(sizeof(uint16_t) * 4);  // place and size
  // A menu would be loaded from the module and read without bounds.
  if (in.Word() != 0) return false;
  in.SkipNameOrOrdinal();       // class
  in.SkipTextAfter(in.Word());  // caption
  if (style & DS_SETFONT) {
    if (in.Word() == MessageBoxFontSize) return false;
    if (extended) in.Skip(sizeof(uint16_t) * 2);  // weight, italic and character set
    in.SkipTextAfter(in.Word());
  }
  for (unsigned i = 0; i < count && in.Ok(); ++i) {
    in.AlignToDword();
    uint32_t controlStyle;
    if (extended) {
      in.Skip(sizeof(uint32_t) * 2);  // help id, extended style
      controlStyle = in.Dword();
      in.Skip(sizeof(uint16_t) * 4 + sizeof(uint32_t));  // place, size and id
    } else {
      controlStyle = in.Dword();
      in.Skip(sizeof(uint32_t) + sizeof(uint16_t) * 5);  // extended style, place, size and id
    }
    // Bitmaps are not checked in a language module.
    if (in.ReadClassMayBeStatic() && (controlStyle & SS_TYPEMASK) == SS_BITMAP) return false;
    in.SkipNameOrOrdinal();  // text
    in.Skip(in.Word());      // creation data
  }
  return in.Ok();
}

HMODULE DialogTemplateModule(const wchar_t* name) {
  HMODULE module = ResourceModule();
  if (module != ProgramModule() && !HasSoundTemplate(module, name)) return ProgramModule();
  return module;
}

INT_PTR ShowTemplateDialog(const wchar_t* name, HWND owner, DLGPROC procedure, LPARAM parameter) {
  HMODULE module = DialogTemplateModule(name);
  INT_PTR result = DialogBoxParamW(module, name, owner, procedure, parameter);
  // A template that fails is dropped before the dialog starts: nothing of
  // its run has to be undone.
  if (result == -1 && module != ProgramModule())
    result = DialogBoxParamW(ProgramModule(), name, owner, procedure, parameter);
  return result;
}
