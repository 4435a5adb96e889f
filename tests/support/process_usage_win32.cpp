#include <windows.h>

#include <string>

#include "support/process_usage.h"

namespace tessaril::test {

namespace {

constexpr ULONG OBJECT_TYPE_INFORMATION = 2;
using QueryObject = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
// The answer begins with the kind's name as a counted UTF-16 string.
struct CountedName {
  USHORT bytes;
  USHORT capacity;
  const wchar_t* text;
};

// Handle values are multiples of 4 and handed out lowest first, so a test
// process's handles sit low; the scan ends after this many free values in a row.
constexpr uintptr_t FREE_VALUES_TO_END = 4096;

// The kind of object behind a handle ("File", "Event", ...); empty for a
// value that is no handle of this process.
std::wstring type_name(QueryObject query, HANDLE handle) {
  alignas(8) char buffer[512];
  if (query(handle, OBJECT_TYPE_INFORMATION, buffer, sizeof buffer, nullptr) != 0) return {};
  const auto* name = reinterpret_cast<const CountedName*>(buffer);
  return std::wstring(name->text, name->bytes / sizeof(wchar_t));
}

}  // namespace

// The open files and devices, as the descriptors are on Linux: threads, events
// and the runtime's lazily made waits are handles too on Windows, but none of
// them is a descriptor there. GetProcessHandleCount answers 0 under Wine, and
// the system-wide handle table is not used: Wine 8's server crashes now and
// then while it builds that table for a process that is starting or ending,
// taking every program of the prefix with it. So each value of this
// process's own table is asked for its object's kind, which is learnt for
// files from one opened for the purpose.
size_t open_handle_count() {
  const auto query = reinterpret_cast<QueryObject>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject")));
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const HANDLE reference = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (!query || reference == INVALID_HANDLE_VALUE) return 0;
  const std::wstring file_type = type_name(query, reference);
  size_t files = 0;
  uintptr_t free_in_a_row = 0;
  for (uintptr_t value = 4; free_in_a_row < FREE_VALUES_TO_END; value += 4) {
    const auto handle = reinterpret_cast<HANDLE>(value);
    const std::wstring type = type_name(query, handle);
    free_in_a_row = type.empty() ? free_in_a_row + 1 : 0;
    files += handle != reference && type == file_type;
  }
  CloseHandle(reference);
  return file_type.empty() ? 0 : files;
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
