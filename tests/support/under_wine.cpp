#include "support/under_wine.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tessaril::test {

bool under_wine() {
#ifdef _WIN32
  // Wine's ntdll exports its version; Windows's does not.
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

}  // namespace tessaril::test
