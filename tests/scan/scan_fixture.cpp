#include "tests/scan/scan_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/profile.h"
#include "radio/list_file.h"
#include "radio/settings_keys.h"
#include "tests/audio/mp3_fixtures.h"

namespace kalvira::testing {

namespace {

// Made once per test program: about 1.08 MB of 320 kbit/s audio, and a short tone.
const std::string& BigAudio() {
  static const std::string bytes = MakeMp3Bytes(Mp3Recipe(44100, 2, 27).Bitrate(320));
  return bytes;
}
const std::string& ShortAudio() {
  static const std::string bytes = MakeMp3Bytes(Mp3Recipe(22050, 1, 1).Bitrate(32));
  return bytes;
}

}  // namespace

MusicCollection::MusicCollection() : drive_(drive_dir_.path().string()) {}

std::string MusicCollection::Bytes(const std::string& relative, const std::string& bytes) {
  const std::string path = Path(relative);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  WriteFileBytes(path, bytes);
  return path;
}

std::string MusicCollection::Untagged(const std::string& relative) {
  EXPECT_GT(BigAudio().size(), std::size_t{kMinimumTrackSize});
  return Bytes(relative, BigAudio());
}

std::string MusicCollection::WithId3v2(const std::string& relative, int version,
                                       const std::vector<std::string>& frames) {
  return Bytes(relative, Id3v2Tag(version, frames) + BigAudio());
}

std::string MusicCollection::TaggedBy(const std::string& relative, const std::string& command) {
  const std::string path = Untagged(relative);
  EXPECT_TRUE(RunCommand(command + " " + ShellQuote(path) + " 2>&1")) << command;
  return path;
}

std::string MusicCollection::EncodedWith(const std::string& relative,
                                         const std::vector<std::string>& lame_tags) {
  const std::string path = Path(relative);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  EXPECT_TRUE(MakeMp3(path, Mp3Recipe(44100, 2, 27).Bitrate(320).Lame(lame_tags)));
  return path;
}

std::string MusicCollection::OfSize(const std::string& relative, std::size_t size) {
  // An ID3v2 tag: 10 bytes of header, the frames, then zero padding up to the size.
  const std::string frame = Id3v2TextFrame(3, "TCON", Id3Encoding::kLatin1, "Pop");
  const std::size_t fixed = 10 + frame.size() + ShortAudio().size();
  EXPECT_GT(size, fixed);
  const std::string bytes = Id3v2Tag(3, {frame}, size - fixed) + ShortAudio();
  EXPECT_EQ(bytes.size(), size);
  return Bytes(relative, bytes);
}

void MusicCollection::Genre(const std::string& key, const std::string& value) {
  WriteProfileString(program_.File("config.ini"), settings::kGenresSection, key, value);
}

TMusicScan MusicCollection::MakeScan() {
  TMusicScan::Options options;
  options.drives = std::vector<TDrive>{{drive_, false}};
  return TMusicScan(program_.Dir(), program_.Settings(), beeper, box, progress, std::move(options));
}

std::vector<std::string> MusicCollection::List(const std::string& name) const {
  const auto list = TListFile::Read(program_.File(name));
  EXPECT_TRUE(list) << name;
  return list ? list->Entries() : std::vector<std::string>{};
}

}  // namespace kalvira::testing
