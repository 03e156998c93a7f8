#include "radio/folder_of_path.h"

#include <gtest/gtest.h>

namespace kalvira {
namespace {

TEST(FolderOfPathTest, CutsTheLastComponentAndKeepsOnlyTheRootsSlash) {
  const struct {
    const char* path;
    const char* folder;
  } cases[] = {
      {"/music/rock/a.mp3", "/music/rock"},
      {"/a.mp3", "/"},
      {"/music/rock/", "/music/rock"},  // an edited path ending in "/"
      {"/music//a.mp3", "/music"},
      {"//a.mp3", "/"},
      {"a.mp3", ""},
      {"", ""},
      {"relative/a.mp3", "relative"},
      {"/Музыка/Рок/трек.mp3", "/Музыка/Рок"},
  };
  for (const auto& c : cases) EXPECT_EQ(FolderOfPath(c.path), c.folder) << c.path;
}

}  // namespace
}  // namespace kalvira
