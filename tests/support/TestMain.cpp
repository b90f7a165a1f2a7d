// Entry point of every test program: COM (apartment, as the shell) and GoogleTest.
#include <objbase.h>
#include <ole2.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  OleInitialize(nullptr);
  int rc = RUN_ALL_TESTS();
  OleUninitialize();
  return rc;
}
