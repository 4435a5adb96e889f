// Program entry: replaced by the dialogs' start-up once they exist.
#include <cstdio>

int main() {
  std::puts("tessaril: the dialogs are not built yet");
  return 0;
}
