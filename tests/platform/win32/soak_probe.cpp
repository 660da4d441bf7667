// A test-only Windows program for the soak of nightbloom.scr (bench/program/soak-windows.sh):
//   soak_probe IMAGE SECONDS INTERVAL
// finds the running process whose image is IMAGE (for example nightbloom.scr) and, every
// INTERVAL seconds for SECONDS seconds or until that process ends, prints one line
// "SECONDS PRIVATE HANDLES GDI": seconds since its first sample, the process's private
// bytes, its open handles and its GDI objects (-1 for a figure that cannot be read). A first
// line "# pid P; private: ...; handles: ...; gdi: ..." says where each figure comes from.
// Exits 1 when there is no such process.
//
// Where Windows counts these itself, its count is taken. Wine (8.0) leaves PrivateUsage at
// 0, reports no handles and does not implement GetGuiResources; the probe then reads the
// commit charge (PagefileUsage, which Windows reports equal to PrivateUsage), counts the
// process's entries in the system's handle table, and counts the used entries of the GDI
// handle table that the process publishes in its PEB (a 32-bit process on a 64-bit system
// publishes it in its 64-bit PEB only, which the WoW64 layout places two pages below
// each thread's 32-bit TEB).
// Handle counts and the GDI figure came with Windows XP; the program itself keeps to
// NT 4's interfaces, this probe does not need to.
#undef WINVER
#undef _WIN32_WINNT
#define WINVER 0x0601
#define _WIN32_WINNT 0x0601
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using QuerySystem = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
using QueryProcess = NTSTATUS(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
using QueryThread = NTSTATUS(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

template <class F>
F Ntdll(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

constexpr ULONG systemHandleInformation = 16;
constexpr NTSTATUS infoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
constexpr size_t gdiEntries = 0x10000;
constexpr size_t gdiEntryBytes = 24;  // GDI_HANDLE_ENTRY: object, owner, type, ...
constexpr size_t gdiTypeOffset = 12;

// SYSTEM_HANDLE_INFORMATION's entries.
struct HandleEntry {
  USHORT processId;
  USHORT creatorBackTrace;
  UCHAR objectType;
  UCHAR attributes;
  USHORT value;
  PVOID object;
  ACCESS_MASK access;
};

// The first entry of a system snapshot (processes or threads) that answer picks: its id, or 0.
template <class Entry, class Answer>
DWORD FirstInSnapshot(DWORD what, BOOL(WINAPI* first)(HANDLE, Entry*), BOOL(WINAPI* next)(HANDLE, Entry*),
                      Answer answer) {
  HANDLE snapshot = CreateToolhelp32Snapshot(what, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  Entry entry{};
  entry.dwSize = sizeof entry;
  DWORD found = 0;
  for (BOOL more = first(snapshot, &entry); more && !found; more = next(snapshot, &entry)) found = answer(entry);
  CloseHandle(snapshot);
  return found;
}

DWORD FindProcess(const char* image) {
  return FirstInSnapshot(TH32CS_SNAPPROCESS, Process32First, Process32Next, [&](const PROCESSENTRY32& entry) {
    return lstrcmpiA(entry.szExeFile, image) == 0 ? entry.th32ProcessID : 0;
  });
}

#ifndef _WIN64
DWORD FirstThread(DWORD pid) {
  return FirstInSnapshot(TH32CS_SNAPTHREAD, Thread32First, Thread32Next, [&](const THREADENTRY32& entry) {
    return entry.th32OwnerProcessID == pid ? entry.th32ThreadID : 0;
  });
}
#endif

template <class T>
bool Read(HANDLE process, uint64_t address, T* out) {
  SIZE_T got = 0;
  return address && address <= UINTPTR_MAX &&
         ReadProcessMemory(process, reinterpret_cast<LPCVOID>(static_cast<uintptr_t>(address)), out, sizeof *out,
                           &got) &&
         got == sizeof *out;
}

class Probe {
 public:
  Probe(DWORD pid, HANDLE process) : pid_(pid), process_(process) { FindGdiTable(); }

  int64_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process_, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters)) {
      return -1;
    }
    if (counters.PrivateUsage != 0) {
      privateSource_ = "PrivateUsage";
      return static_cast<int64_t>(counters.PrivateUsage);
    }
    privateSource_ = "PagefileUsage (PrivateUsage reads 0)";
    return static_cast<int64_t>(counters.PagefileUsage);
  }

  int64_t Handles() {
    DWORD count = 0;
    if (GetProcessHandleCount(process_, &count) && count != 0) {
      handleSource_ = "GetProcessHandleCount";
      return count;
    }
    handleSource_ = "the system handle table (GetProcessHandleCount reads 0)";
    auto query = Ntdll<QuerySystem>("NtQuerySystemInformation");
    if (!query) return -1;
    std::vector<unsigned char> buffer(1 << 20);
    NTSTATUS status;
    ULONG needed = 0;
    while ((status = query(systemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
           infoLengthMismatch) {
      buffer.resize(buffer.size() * 2);
    }
    if (status != 0) return -1;
    const ULONG entries = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* handle = reinterpret_cast<const HandleEntry*>(buffer.data() + sizeof(ULONG_PTR));
    int64_t own = 0;
    for (ULONG i = 0; i < entries; ++i) own += handle[i].processId == static_cast<USHORT>(pid_);
    return own;
  }

  int64_t GdiObjects() {
    SetLastError(0);
    const DWORD count = GetGuiResources(process_, GR_GDIOBJECTS);
    if (count != 0 || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) {
      gdiSource_ = "GetGuiResources";
      return count;
    }
    gdiSource_ = gdiTable_ ? "the process's GDI handle table (GetGuiResources is not implemented)"
                           : "none (GetGuiResources is not implemented, no GDI handle table found)";
    if (!gdiTable_) return -1;
    std::vector<unsigned char> table(gdiEntries * gdiEntryBytes);
    SIZE_T got = 0;
    if (!ReadProcessMemory(process_, reinterpret_cast<LPCVOID>(static_cast<uintptr_t>(gdiTable_)), table.data(),
                           table.size(), &got) ||
        got != table.size()) {
      return -1;
    }
    int64_t used = 0;
    for (size_t i = 0; i < gdiEntries; ++i) used += table[i * gdiEntryBytes + gdiTypeOffset] != 0;
    return used;
  }

  std::string Sources() const {
    return "# pid " + std::to_string(pid_) + "; private: " + privateSource_ + "; handles: " + handleSource_ +
           "; gdi: " + gdiSource_;
  }

 private:
  void FindGdiTable() {
    auto query = Ntdll<QueryProcess>("NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION basic{};
    ULONG length = 0;
    if (!query || query(process_, ProcessBasicInformation, &basic, sizeof basic, &length) != 0) return;
    const auto peb = reinterpret_cast<uint64_t>(basic.PebBaseAddress);
#ifdef _WIN64
    Read(process_, peb + 0xF8, &gdiTable_);
#else
    uint32_t table32 = 0;
    if (Read(process_, peb + 0x94, &table32) && table32) {
      gdiTable_ = table32;
      return;
    }
    // WoW64: the 64-bit TEB two pages below a thread's 32-bit one, checked by its own
    // address in NT_TIB.Self, leads to the 64-bit PEB.
    auto queryThread = Ntdll<QueryThread>("NtQueryInformationThread");
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, FirstThread(pid_));
    if (!queryThread || !thread) return;
    struct {
      NTSTATUS exitStatus;
      PVOID teb;
      CLIENT_ID client;
      ULONG_PTR affinity;
      LONG priority;
      LONG basePriority;
    } threadInfo{};
    const bool known = queryThread(thread, 0, &threadInfo, sizeof threadInfo, &length) == 0;
    CloseHandle(thread);
    if (!known) return;
    const uint64_t teb64 = reinterpret_cast<uintptr_t>(threadInfo.teb) - 0x2000;
    uint64_t self = 0;
    uint64_t peb64 = 0;
    if (!Read(process_, teb64 + 0x30, &self) || self != teb64 || !Read(process_, teb64 + 0x60, &peb64)) return;
    Read(process_, peb64 + 0xF8, &gdiTable_);
#endif
  }

  DWORD pid_;
  HANDLE process_;
  uint64_t gdiTable_ = 0;
  std::string privateSource_ = "?";
  std::string handleSource_ = "?";
  std::string gdiSource_ = "?";
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: soak_probe IMAGE SECONDS INTERVAL\n");
    return 2;
  }
  const double seconds = std::atof(argv[2]);
  const double interval = std::atof(argv[3]);
  const DWORD pid = FindProcess(argv[1]);
  HANDLE process = pid ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, pid) : nullptr;
  if (!process) {
    std::fprintf(stderr, "soak_probe: no process %s\n", argv[1]);
    return 1;
  }
  Probe probe(pid, process);
  const DWORD start = GetTickCount();
  for (int sample = 0;; ++sample) {
    const double at = (GetTickCount() - start) / 1000.0;
    const int64_t privateBytes = probe.PrivateBytes();
    const int64_t handles = probe.Handles();
    const int64_t gdi = probe.GdiObjects();
    if (sample == 0) std::printf("%s\n", probe.Sources().c_str());
    std::printf("%.1f %lld %lld %lld\n", at, static_cast<long long>(privateBytes), static_cast<long long>(handles),
                static_cast<long long>(gdi));
    std::fflush(stdout);
    const double next = (sample + 1) * interval;
    if (next > seconds) break;
    const DWORD wait = static_cast<DWORD>(next * 1000) - (GetTickCount() - start);
    if (WaitForSingleObject(process, wait > 0x7FFFFFFF ? 0 : wait) == WAIT_OBJECT_0) break;
  }
  CloseHandle(process);
  return 0;
}
