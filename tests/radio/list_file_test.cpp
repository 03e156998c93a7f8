#include "radio/list_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

using Entries = std::vector<std::string>;

struct ReadCase {
  const char* name;
  std::string bytes;
  Entries expected;
};

// "Музыка" in the encodings a list file may come in.
const std::string kCp1251Word = "\xCC\xF3\xE7\xFB\xEA\xE0";
const std::string kUtf8Word = "Музыка";

std::string Utf16(const std::u16string& text, bool little_endian) {
  std::string out = little_endian ? "\xFF\xFE" : "\xFE\xFF";
  for (const char16_t unit : text) {
    const char lo = static_cast<char>(unit & 0xFF);
    const char hi = static_cast<char>(unit >> 8);
    out += little_endian ? std::string{lo, hi} : std::string{hi, lo};
  }
  return out;
}

TEST(ListFileTest, ReadsEveryEncodingAndLineEnd) {
  const std::vector<ReadCase> cases = {
      {"empty file", "", {}},
      {"CR LF, final break adds nothing", "/a.mp3\r\n/b.mp3\r\n", {"/a.mp3", "/b.mp3"}},
      {"no final break", "/a.mp3\r\n/b.mp3", {"/a.mp3", "/b.mp3"}},
      {"lone LF and lone CR", "/a\n/b\r/c", {"/a", "/b", "/c"}},
      {"empty line inside is an entry", "/a\r\n\r\n/b\r\n", {"/a", "", "/b"}},
      {"LF CR is two breaks", "/a\n\r/b", {"/a", "", "/b"}},
      {"only a break", "\r\n", {""}},
      {"Windows-1251 without a mark",
       "/" + kCp1251Word + "/a.mp3\r\n",
       {"/" + kUtf8Word + "/a.mp3"}},
      {"UTF-8 mark", "\xEF\xBB\xBF/" + kUtf8Word + "\r\n/b\r\n", {"/" + kUtf8Word, "/b"}},
      {"UTF-8 without its mark is read as Windows-1251", "/\xD0\x9C", {"/Рњ"}},
      {"UTF-16LE mark", Utf16(u"/Муз\r\n/b\n", true), {"/Муз", "/b"}},
      {"UTF-16BE mark", Utf16(u"/Муз\r/b", false), {"/Муз", "/b"}},
      {"UTF-16 odd trailing byte ignored", Utf16(u"/a", true) + "x", {"/a"}},
      {"NUL bytes stay inside the entry", std::string("/a\0b\r\n", 6), {std::string("/a\0b", 4)}},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TListFile list = TListFile::Parse(c.bytes);
    EXPECT_EQ(list.Count(), c.expected.size());
    EXPECT_EQ(list.Entries(), c.expected);
    for (std::size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(list.Entry(i), c.expected[i]);
  }
}

// Long lists are counted and searched in blocks of bytes: every mix of line ends, also
// a CR LF torn across two blocks, must give the lines a byte-by-byte reading gives.
TEST(ListFileTest, LongListsAgreeWithAByteByByteReading) {
  std::mt19937 random(2024);
  const char* const breaks[] = {"\r\n", "\n", "\r", "\n\r", "\r\n\r\n", "\r\n\n"};
  for (int round = 0; round < 20; ++round) {
    std::string bytes;
    std::vector<std::string> expected;
    const int lines = 200 + static_cast<int>(random() % 300);
    for (int i = 0; i < lines; ++i) {
      // Never empty: an empty line after a CR would merge its LF into a CR LF.
      std::string line(1 + random() % 40, 'x');
      for (char& c : line) c = static_cast<char>('a' + random() % 26);
      bytes += line;
      const std::string end = breaks[random() % 6];
      bytes += end;
      expected.push_back(line);
      if (end.size() > 2 || end == "\n\r") expected.push_back("");
    }
    if (round % 2 == 1) {  // no final break
      bytes += "tail";
      expected.push_back("tail");
    }
    const TListFile list = TListFile::Parse(bytes);
    ASSERT_EQ(list.Count(), expected.size()) << round;
    EXPECT_EQ(list.Entries(), expected) << round;
    for (std::size_t i = 0; i < expected.size(); i += 7) ASSERT_EQ(list.Entry(i), expected[i]);
    EXPECT_EQ(list.Entry(expected.size() - 1), expected.back());
    EXPECT_THROW(list.Entry(expected.size()), std::out_of_range);
  }
}

TEST(ListFileTest, ReadOfMissingOrUnreadableFileFails) {
  testing::TempDir dir;
  EXPECT_FALSE(TListFile::Read(dir.File("missing.lfm")).has_value());
  EXPECT_FALSE(TListFile::Read(dir.path().string()).has_value());  // a folder
  testing::WriteFileBytes(dir.File("rallfm.lfm"), "/a\r\n");
  const auto list = TListFile::Read(dir.File("rallfm.lfm"));
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(list->Entries(), Entries{"/a"});
}

TEST(ListFileTest, WritesWindows1251WithCrLfOrUtf8WithMark) {
  struct Case {
    const char* name;
    Entries entries;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"empty list is an empty file", {}, ""},
      {"every line ends with CR LF", {"/a.mp3", "/b.mp3"}, "/a.mp3\r\n/b.mp3\r\n"},
      {"Cyrillic in Windows-1251", {"/" + kUtf8Word}, "/" + kCp1251Word + "\r\n"},
      {"empty entry kept", {"", "/b"}, "\r\n/b\r\n"},
      {"a path outside Windows-1251 makes the file UTF-8",
       {"/" + kUtf8Word, "/日本.mp3"},
       "\xEF\xBB\xBF/" + kUtf8Word + "\r\n/日本.mp3\r\n"},
      {"bytes that are not UTF-8 go through unchanged",
       {"/\xE9t\xE9"},
       "\xEF\xBB\xBF/\xE9t\xE9\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(testing::HexBytes(EncodeListFile(c.entries)), testing::HexBytes(c.bytes));
    EXPECT_EQ(TListFile::Parse(EncodeListFile(c.entries)).Entries(), c.entries);
  }
}

TEST(ListFileTest, WriteRefusesLineBreaksInEntries) {
  testing::TempDir dir;
  const std::string path = dir.File("rpop.lfm");
  WriteListFile(path, {"/old"});
  EXPECT_THROW(WriteListFile(path, {"/a", "/b\nc"}), std::invalid_argument);
  EXPECT_THROW(WriteListFile(path, {"/b\rc"}), std::invalid_argument);
  EXPECT_EQ(testing::ReadFileBytes(path), "/old\r\n");
}

TEST(ListFileTest, RefusedWriteRaisesTheSettingsErrorAndKeepsTheOldFile) {
  testing::TempDir dir;
  const std::string path = dir.File("rallfm.lfm");
  WriteListFile(path, {"/a", "/b"});
  const std::string missing_folder = dir.File("gone") + "/rallfm.lfm";
  try {
    WriteListFile(missing_folder, {"/c"});
    FAIL() << "no error";
  } catch (const ProfileWriteError& error) {
    EXPECT_EQ(std::string(error.what()), "Unable to write to " + missing_folder);
  }
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  if (::geteuid() != 0) {
    EXPECT_THROW(WriteListFile(path, {"/c"}), ProfileWriteError);
    EXPECT_EQ(testing::ReadFileBytes(path), "/a\r\n/b\r\n");
  }
  ::chmod(path.c_str(), 0644);
  WriteListFile(path, {"/c"});
  EXPECT_EQ(testing::ReadFileBytes(path), "/c\r\n");
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().filename(), "rallfm.lfm") << "left behind";
  }
}

TEST(ListFileTest, NamesMatchWithoutRegardToLetterCase) {
  testing::TempDir dir;
  const std::string folder = dir.path().string() + "/";
  EXPECT_EQ(ListFilePath(folder, "rclassic.lfm"), folder + "rclassic.lfm");
  testing::WriteFileBytes(dir.File("rClassic.lfm"), "/x\r\n");
  EXPECT_EQ(ListFilePath(folder, "rclassic.lfm"), folder + "rClassic.lfm");
  EXPECT_EQ(ListFilePath(folder, "rClassic.lfm"), folder + "rClassic.lfm");
  EXPECT_EQ(ListFilePath(folder, "RCLASSIC.LFM"), folder + "rClassic.lfm");
}

}  // namespace
}  // namespace kalvira
