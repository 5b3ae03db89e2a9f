// The list passes of the uninstall run over 10,000 files in 500 folders,
// listed folders first, against the floor: the same tree removed by a bare
// walk of FindFirstFileW, DeleteFileW and RemoveDirectoryW. Two more
// figures place the gap: the list passes with the folder named in its short
// form (every final path then differs from its name), and the walk that
// asks each file, opened itself, for its final path before deleting it
// through its handle, which is the least a removal costs that tells a
// link on the host's side of Wine from a file.
//
//   bench_uninstall [ROUNDS]   medians over ROUNDS rounds (5 by default);
//                              the contenders take turns within a round
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "removal/list_removal.h"

namespace {

constexpr int Folders = 500;
constexpr int FilesPerFolder = 20;

double Now() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Lays out the tree and returns its list, folders first.
std::string MakeTree(const std::wstring& root) {
  CreateDirectoryW(root.c_str(), nullptr);
  std::string list;
  for (int d = 0; d < Folders; ++d) list += "folder" + std::to_string(d) + "\r\n";
  for (int d = 0; d < Folders; ++d) {
    std::wstring folder = root + L"\\folder" + std::to_wstring(d);
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int f = 0; f < FilesPerFolder; ++f) {
      std::wstring name = folder + L"\\file" + std::to_wstring(f) + L".dat";
      HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      DWORD written;
      WriteFile(file, "data", 4, &written, nullptr);
      CloseHandle(file);
      list += "folder" + std::to_string(d) + "\\file" + std::to_string(f) + ".dat\r\n";
    }
  }
  return list;
}

using FinalPathFunction = DWORD(WINAPI*)(HANDLE, wchar_t*, DWORD, DWORD);
using SetInformationFunction = LONG(WINAPI*)(HANDLE, void*, void*, ULONG, ULONG);
FinalPathFunction finalPath;
SetInformationFunction setInformation;

// Opens the file itself, asks its final path and marks it for deletion.
void DeleteAskingFinalPath(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  wchar_t reached[MAX_PATH * 2];
  if (finalPath(file, reached, MAX_PATH * 2, 0) > 0) {
    struct {
      LONG status;
      ULONG_PTR information;
    } io;
    BOOLEAN remove = TRUE;
    setInformation(file, &io, &remove, sizeof remove, 13);  // FileDispositionInformation
  }
  CloseHandle(file);
}

void Walk(const std::wstring& folder, bool askFinalPath) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!wcscmp(data.cFileName, L".") || !wcscmp(data.cFileName, L"..")) continue;
      std::wstring path = folder + L"\\" + data.cFileName;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        Walk(path, askFinalPath);
      else if (askFinalPath)
        DeleteAskingFinalPath(path);
      else
        DeleteFileW(path.c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

// Seconds for the list passes; `folder` names the tree's root, ending in a
// backslash.
double ListPasses(const std::wstring& root, const std::wstring& folder, unsigned& passes) {
  std::string list = MakeTree(root);
  std::wstring listName = root + L".lst";
  FILE* out = _wfopen(listName.c_str(), L"wb");
  fwrite(list.data(), 1, list.size(), out);
  fclose(out);
  FILE* in = _wfopen(listName.c_str(), L"rb");
  double start = Now();
  ListRemoval removal = RemoveListedFiles(in, folder.c_str(), L"uninstall.exe");
  double seconds = Now() - start;
  fclose(in);
  DeleteFileW(listName.c_str());
  RemoveDirectoryW(root.c_str());
  passes = removal.passes;
  if (removal.filesLeft || GetFileAttributesW(root.c_str()) != INVALID_FILE_ATTRIBUTES)
    printf("  (the list passes left %u files)\n", removal.filesLeft);
  return seconds;
}

double Walked(const std::wstring& root, bool askFinalPath) {
  MakeTree(root);
  double start = Now();
  Walk(root, askFinalPath);
  return Now() - start;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 5;
  if (rounds < 1) rounds = 1;
  finalPath = reinterpret_cast<FinalPathFunction>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
  setInformation = reinterpret_cast<SetInformationFunction>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtSetInformationFile")));
  if (!finalPath || !setInformation) {
    printf("GetFinalPathNameByHandleW or NtSetInformationFile is missing\n");
    return 1;
  }
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring root = std::wstring(temp) + L"uninstall_bench";
  Walk(root, false);
  CreateDirectoryW(root.c_str(), nullptr);
  wchar_t shortRoot[MAX_PATH];
  DWORD n = GetShortPathNameW(root.c_str(), shortRoot, MAX_PATH);
  std::wstring shortFolder =
      (n > 0 && n < MAX_PATH ? shortRoot : root.c_str()) + std::wstring(L"\\");
  RemoveDirectoryW(root.c_str());

  const char* names[] = {"list passes", "list passes, folder in short form", "bare walk (floor)",
                         "walk asking each file's final path"};
  std::vector<double> seconds[4];
  unsigned passes = 0;
  for (int round = 0; round < rounds; ++round) {
    for (int i = 0; i < 4; ++i) {
      int contender = (round + i) % 4;
      double s = contender == 0   ? ListPasses(root, root + L"\\", passes)
                 : contender == 1 ? ListPasses(root, shortFolder, passes)
                                  : Walked(root, contender == 3);
      seconds[contender].push_back(s);
    }
    printf("round %d: list %.3f s, short form %.3f s, floor %.3f s, asking %.3f s\n", round + 1,
           seconds[0].back(), seconds[1].back(), seconds[2].back(), seconds[3].back());
  }
  double floor = Median(seconds[2]);
  double asking = Median(seconds[3]);
  printf("uninstall list passes: %d files in %d folders, medians of %d rounds (%u passes)\n",
         Folders * FilesPerFolder, Folders, rounds, passes);
  for (int i = 0; i < 4; ++i) {
    double m = Median(seconds[i]);
    printf("  %-36s %6.3f s  %.2f of the floor", names[i], m, m / floor);
    if (i < 2) printf(", %.2f of the walk asking final paths", m / asking);
    printf("\n");
  }
  return 0;
}
