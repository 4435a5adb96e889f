#include <windows.h>

#include <vector>

#include "support/process_usage.h"

namespace tessaril::test {

namespace {

// One open handle in the system's handle table (SystemHandleInformation).
struct HandleEntry {
  ULONG process_id;
  BYTE object_type;
  BYTE flags;
  USHORT value;
  PVOID object;
  ULONG access;
};
struct HandleTable {
  ULONG count;
  HandleEntry entries[1];
};
constexpr ULONG SYSTEM_HANDLE_INFORMATION = 16;
constexpr LONG STATUS_INFO_LENGTH_MISMATCH = static_cast<LONG>(0xC0000004);
using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

}  // namespace

// The open files and devices, as the descriptors are on Linux: threads, events
// and the runtime's lazily made waits are handles too on Windows, but none of
// them is a descriptor there. GetProcessHandleCount answers 0 under Wine; the
// system's handle table is read by Windows and Wine alike, and the kind of a
// file handle is learnt from one opened for the purpose.
size_t open_handle_count() {
  const auto query = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const HANDLE reference = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (!query || reference == INVALID_HANDLE_VALUE) return 0;
  std::vector<char> buffer(1 << 16);
  LONG status;
  while ((status = query(SYSTEM_HANDLE_INFORMATION, buffer.data(), static_cast<ULONG>(buffer.size()), nullptr)) ==
         STATUS_INFO_LENGTH_MISMATCH)
    buffer.resize(buffer.size() * 2);
  CloseHandle(reference);
  if (status != 0) return 0;
  const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
  const DWORD me = GetCurrentProcessId();
  const auto reference_value = static_cast<USHORT>(reinterpret_cast<uintptr_t>(reference));
  int file_type = -1;
  for (ULONG i = 0; i < table->count; ++i) {
    const HandleEntry& e = table->entries[i];
    if (e.process_id == me && e.value == reference_value) file_type = e.object_type;
  }
  size_t files = 0;
  for (ULONG i = 0; i < table->count; ++i) {
    const HandleEntry& e = table->entries[i];
    files += e.process_id == me && e.object_type == file_type && e.value != reference_value;
  }
  return files;
}

int64_t process_cpu_ms() {
  FILETIME created, ended, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0;
  auto ms = [](const FILETIME& t) {  // 100-ns units
    return static_cast<int64_t>((uint64_t{t.dwHighDateTime} << 32 | t.dwLowDateTime) / 10000);
  };
  return ms(kernel) + ms(user);
}

}  // namespace tessaril::test
