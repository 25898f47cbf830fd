#include <cstdio>

#include "zov/win32.h"

int main() {
  std::puts("zovctl");
  return 0;
}
