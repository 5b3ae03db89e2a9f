#include "fs/native_files.h"

#include <cstring>
#include <cwchar>

#include "base/format.h"
#include "base/run_state.h"
#include "fs/file_ops.h"
#include "fs/product_tree.h"

namespace {

// The driver kit's structures, which the build does not have.
struct UnicodeString {
  USHORT length;  // bytes, no terminator
  USHORT maximumLength;
  wchar_t* buffer;
};
struct ObjectAttributes {
  ULONG length;
  HANDLE rootDirectory;
  UnicodeString* objectName;
  ULONG attributes;
  void* securityDescriptor;
  void* securityQualityOfService;
};
struct IoStatus {
  union {
    NtStatus status;
    void* pointer;
  };
  ULONG_PTR information;
};
struct BasicInformation {
  LARGE_INTEGER creationTime;  // the four times 0: left as they are
  LARGE_INTEGER lastAccessTime;
  LARGE_INTEGER lastWriteTime;
  LARGE_INTEGER changeTime;
  ULONG attributes;
};
struct RenameInformation {  // followed by the rest of the name
  BOOLEAN replaceIfExists;
  HANDLE rootDirectory;
  ULONG fileNameLength;  // bytes
  wchar_t fileName[1];
};

constexpr ULONG ObjCaseInsensitive = 0x40;
constexpr ULONG FileSynchronousIoNonalert = 0x20;
constexpr ULONG FileOpenForBackupIntent = 0x4000;
constexpr ULONG FileOpenReparsePoint = 0x200000;
constexpr ULONG FileBasicInformationClass = 4;
constexpr ULONG FileRenameInformationClass = 10;
constexpr ULONG FileDispositionInformationClass = 13;
// From Windows 10 1607 on: the name is free when the handle is closed,
// even while another program holds the file.
constexpr ULONG FileDispositionInformationExClass = 64;
constexpr ULONG DispositionDelete = 0x1;
constexpr ULONG DispositionPosixSemantics = 0x2;
constexpr ULONG DispositionIgnoreReadOnly = 0x10;
constexpr ULONG ObjectNameInformationClass = 1;
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A rename target: a list line's part and ".999.tmp".
constexpr unsigned RenameChars = 2064;

using OpenFunction = NtStatus(NTAPI*)(HANDLE*, ACCESS_MASK, ObjectAttributes*, IoStatus*, ULONG,
                                      ULONG);
using InformationFunction = NtStatus(NTAPI*)(HANDLE, IoStatus*, void*, ULONG, ULONG);
using QueryObjectFunction = NtStatus(NTAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);
using QueryAttributesFunction = NtStatus(NTAPI*)(ObjectAttributes*, BasicInformation*);
using FinalPathFunction = DWORD(WINAPI*)(HANDLE, wchar_t*, DWORD, DWORD);

// Looked up once: every entry needs them.
struct NativeCalls {
  OpenFunction open;
  InformationFunction query;
  InformationFunction set;
  QueryObjectFunction queryObject;
  QueryAttributesFunction queryAttributes;
  FinalPathFunction finalPath;  // from Windows Vista on
  bool wine;
  bool found;
};
NativeCalls calls;
// Learned on first use, for the rest of the run.
bool noDispositionEx = false;
bool nativeFinalNames = false;
SetInformationForTesting setHook = nullptr;

template <typename Function>
Function NtdllFunction(HMODULE ntdll, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(ntdll, name)));
}

const NativeCalls& Calls() {
  if (!calls.found) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll) {
      calls.open = NtdllFunction<OpenFunction>(ntdll, "NtOpenFile");
      calls.query = NtdllFunction<InformationFunction>(ntdll, "NtQueryInformationFile");
      calls.set = NtdllFunction<InformationFunction>(ntdll, "NtSetInformationFile");
      calls.queryObject = NtdllFunction<QueryObjectFunction>(ntdll, "NtQueryObject");
      calls.queryAttributes =
          NtdllFunction<QueryAttributesFunction>(ntdll, "NtQueryAttributesFile");
      calls.wine = GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }
    calls.finalPath = Kernel32Function<FinalPathFunction>("GetFinalPathNameByHandleW");
    calls.found = true;
  }
  return calls;
}

NtStatus SetInformation(HANDLE file, void* data, ULONG size, ULONG kind) {
  IoStatus io{};
  if (setHook) return setHook(file, &io, data, size, kind);
  if (!Calls().set) return StatusNotImplemented;
  return Calls().set(file, &io, data, size, kind);
}

bool StartsWith(const wchar_t* text, const wchar_t* start) {
  return wcsncmp(text, start, wcslen(start)) == 0;
}

// The NT name of a handle turned into a "\\?\" name: Wine answers
// "\??\C:\...", Windows "\Device\HarddiskVolume1\...", whose device is
// found among the drive letters. False for a device no letter names.
bool NativeFinalName(HANDLE handle, wchar_t* name, size_t n) {
  union {
    UnicodeString header;
    wchar_t text[FinalNameChars];
  } answer;
  ULONG returned = 0;
  if (!Calls().queryObject || Calls().queryObject(handle, ObjectNameInformationClass, &answer,
                                                  sizeof answer - 2, &returned) < 0)
    return false;
  // An object without a name (a file deleted, or its folder swapped away,
  // under Wine) answers with no buffer at all; any answer must lie within
  // the room it was given, terminator included.
  wchar_t* nt = answer.header.buffer;
  size_t length = answer.header.length / sizeof(wchar_t);
  if (!nt || length == 0 || nt < answer.text || nt + length >= answer.text + FinalNameChars)
    return false;
  nt[length] = 0;
  if (StartsWith(nt, L"\\??\\")) return FormatText(name, n, L"\\\\?\\%s", nt + 4) >= 0;
  DWORD drives = GetLogicalDrives();
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    wchar_t drive[3] = {letter, L':', 0}, device[MAX_PATH];
    if (!(drives & (1u << (letter - L'A'))) || !QueryDosDeviceW(drive, device, MAX_PATH)) continue;
    size_t deviceLength = wcslen(device);
    if (wcsncmp(nt, device, deviceLength) == 0 && nt[deviceLength] == L'\\')
      return FormatText(name, n, L"\\\\?\\%s%s", drive, nt + deviceLength) >= 0;
  }
  return false;
}

}  // namespace

NtStatus OpenRelative(HANDLE parent, const wchar_t* part, size_t length, ACCESS_MASK access,
                      ULONG options, ULONG flags, FileHandle& opened) {
  if (!Calls().open || !Calls().queryAttributes) return StatusNotImplemented;
  USHORT bytes = static_cast<USHORT>(length * sizeof(wchar_t));
  UnicodeString name{bytes, bytes, const_cast<wchar_t*>(part)};
  ObjectAttributes attributes{sizeof attributes,          parent,  &name,
                              ObjCaseInsensitive | flags, nullptr, nullptr};
  IoStatus io{};
  HANDLE handle = nullptr;
  NtStatus status = Calls().open(
      &handle, access | SYNCHRONIZE, &attributes, &io, ShareAll,
      options | FileSynchronousIoNonalert | FileOpenReparsePoint | FileOpenForBackupIntent);
  if (status >= 0) opened.Reset(handle);
  return status;
}

bool StillThere(HANDLE parent, const wchar_t* part, size_t length) {
  USHORT bytes = static_cast<USHORT>(length * sizeof(wchar_t));
  UnicodeString name{bytes, bytes, const_cast<wchar_t*>(part)};
  ObjectAttributes attributes{sizeof attributes,  parent,  &name,
                              ObjCaseInsensitive, nullptr, nullptr};
  BasicInformation basic{};
  return Calls().queryAttributes(&attributes, &basic) >= 0;
}

DWORD AttributesOf(HANDLE file) {
  BasicInformation basic{};
  IoStatus io{};
  if (!Calls().query ||
      Calls().query(file, &io, &basic, sizeof basic, FileBasicInformationClass) < 0)
    return InvalidAttributes;
  return basic.attributes;
}

bool SetAttributesOf(HANDLE file, DWORD attributes) {
  BasicInformation basic{};
  // 0 would mean "unchanged".
  basic.attributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
  return SetInformation(file, &basic, sizeof basic, FileBasicInformationClass) >= 0;
}

NtStatus MarkForDeletion(HANDLE entry) {
  if (!noDispositionEx) {
    ULONG flags = DispositionDelete | DispositionPosixSemantics | DispositionIgnoreReadOnly;
    NtStatus status =
        SetInformation(entry, &flags, sizeof flags, FileDispositionInformationExClass);
    if (status >= 0 || status == StatusDirectoryNotEmpty) return status;
    // Unknown before Windows 10 1607 and to Wine; any other refusal (a
    // file system without it, a flag unknown to that version) is this
    // entry's.
    if (status == StatusInvalidInfoClass || status == StatusNotImplemented) noDispositionEx = true;
  }
  BOOLEAN remove = TRUE;
  return SetInformation(entry, &remove, sizeof remove, FileDispositionInformationClass);
}

NtStatus RenameWithin(HANDLE file, HANDLE folder, const wchar_t* name) {
  size_t length = wcslen(name);
  if (length >= RenameChars) return StatusInvalidParameter;
  union {
    RenameInformation header;
    wchar_t text[RenameChars + sizeof(RenameInformation)];
  } rename{};
  rename.header.rootDirectory = folder;
  rename.header.fileNameLength = static_cast<ULONG>(length * sizeof(wchar_t));
  memcpy(rename.header.fileName, name, length * sizeof(wchar_t));
  return SetInformation(file, &rename,
                        static_cast<ULONG>(sizeof(RenameInformation) + length * sizeof(wchar_t)),
                        FileRenameInformationClass);
}

// Wine's GetFinalPathNameByHandleW gives none beyond MAX_PATH; the native
// name serves there too.
bool FinalNameOf(HANDLE handle, wchar_t* name, size_t n) {
  DWORD length = Calls().finalPath && !nativeFinalNames
                     ? Calls().finalPath(handle, name, static_cast<DWORD>(n), 0)
                     : 0;
  return (length > 0 && length < n) || NativeFinalName(handle, name, n);
}

bool FollowsLinksWhateverIsAsked() { return Calls().wine; }

void UseNativeFinalNamesForTesting(bool native) { nativeFinalNames = native; }

void SetInformationHookForTesting(SetInformationForTesting hook) {
  setHook = hook;
  noDispositionEx = false;
}
