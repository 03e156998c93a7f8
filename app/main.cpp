// Kalvira's main routine.
#include <cstdio>

int main() {
  std::puts("Kalvira 5: the main window is not built yet; nothing to play.");
  return 0;
}
