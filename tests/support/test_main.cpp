// The tests' main: the scratch folder (and natively the throw-away machine) exists before any test.
#include <gtest/gtest.h>

#include "scratch.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  zov::test::ScratchDir();
  return RUN_ALL_TESTS();
}
