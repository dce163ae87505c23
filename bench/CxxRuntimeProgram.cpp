// The start-up floor: a program that links the C++ runtime and nothing else,
// and uses it, so the linker keeps it.
#include <iostream>

int main() {
  std::cout << std::flush;
  return 0;
}
