#include "platform/program_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace kalvira {
namespace {

TEST(ProgramDir, IsTheFolderOfTheRunningExecutable) {
  ::unsetenv(kProgramDirVariable);
  const std::string dir = ProgramDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_EQ(dir.front(), '/');
  // The test binary's own name, looked up in that folder, is this very process's file.
  struct stat self {};
  struct stat found {};
  ASSERT_EQ(::stat("/proc/self/exe", &self), 0);
  ASSERT_EQ(::stat((dir + "platform_program_dir_test").c_str(), &found), 0);
  EXPECT_EQ(found.st_ino, self.st_ino);
  EXPECT_EQ(found.st_dev, self.st_dev);
}

TEST(ProgramDir, TheEnvironmentOverridesIt) {
  struct Case {
    const char* value;
    const char* expected;
  };
  const Case cases[] = {
      {"/opt/kalvira", "/opt/kalvira/"},
      {"/opt/kalvira/", "/opt/kalvira/"},
      {"relative/dir", "relative/dir/"},
      {"/", "/"},
      {"/Радио", "/Радио/"},
  };
  for (const auto& c : cases) {
    ::setenv(kProgramDirVariable, c.value, 1);
    EXPECT_EQ(ProgramDir(), c.expected) << c.value;
  }
  ::setenv(kProgramDirVariable, "", 1);  // empty counts as unset
  const std::string fallback = ProgramDir();
  ::unsetenv(kProgramDirVariable);
  EXPECT_EQ(fallback, ProgramDir());
}

}  // namespace
}  // namespace kalvira
