// FileSizeOf: the size rule (low 32 bits, signed) and the files it cannot open.
#include "scan/file_size.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/test_support.h"

namespace kalvira {
namespace {

TEST(FileSizeOfTest, TheLowThirtyTwoBitsAsASignedNumber) {
  testing::TempDir dir;
  struct Case {
    std::uintmax_t size;
    std::int32_t expected;
  };
  const std::vector<Case> cases = {
      {0, 0},
      {1024000, 1024000},
      {1024001, 1024001},
      {0x7FFFFFFF, 0x7FFFFFFF},
      {0x80000000ull, INT32_MIN},           // 2 GiB: negative, so never listed
      {0xC0000000ull, -0x40000000},         // 3 GiB
      {0x100000000ull + 1024001, 1024001},  // 4 GiB and a bit: the bit counts
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const std::string path = dir.File("f.mp3");
    testing::WriteFileBytes(path, "");
    std::filesystem::resize_file(path, c.size);  // sparse: costs no disk
    EXPECT_EQ(FileSizeOf(path), c.expected);
  }
}

TEST(FileSizeOfTest, WhatCannotBeOpenedAsAFileIsMinusOne) {
  testing::TempDir dir;
  const std::string fifo = dir.File("pipe.mp3");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  std::filesystem::create_directories(dir.File("folder.mp3"));
  std::filesystem::create_symlink(dir.File("gone.mp3"), dir.File("dangling.mp3"));
  for (const std::string& path : {dir.File("missing.mp3"), fifo, dir.File("folder.mp3"),
                                  dir.File("dangling.mp3"), std::string("a\0b", 3)}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(FileSizeOf(path), -1);  // and the pipe did not block
  }
}

}  // namespace
}  // namespace kalvira
