#include "tests/radio/radio_fixture.h"

#include <filesystem>

#include "base/cp1251.h"
#include "radio/list_file.h"
#include "tests/audio/mp3_fixtures.h"

namespace kalvira::testing {

ProgramFolder::ProgramFolder()
    : dir_(temp_.path().string() + "/"),
      now_(std::chrono::system_clock::now()),
      settings_(dir_, [this] { return now_ += std::chrono::seconds(1); }) {
  std::filesystem::create_directories(dir_ + "templates");
}

std::string ProgramFolder::MakeTrack(const std::string& name, double seconds,
                                     const std::vector<std::string>& tags) {
  const std::string path = name.starts_with("/") ? name : dir_ + name;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  Mp3Recipe recipe(22050, 1, seconds);
  recipe.Bitrate(32).Lame(tags);
  MakeMp3(path, recipe);
  return path;
}

void ProgramFolder::WriteList(const std::string& name, const std::vector<std::string>& entries) {
  WriteListFile(dir_ + name, entries);
}

std::vector<std::string> ProgramFolder::LogMessages() const {
  const std::string text = Cp1251ToUtf8(ReadFileBytes(dir_ + "config.ini"));
  std::vector<std::string> messages;
  bool in_log = false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.empty()) continue;
    if (line.front() == '[') {
      in_log = line == "[ERRORLOG]";
    } else if (in_log) {
      const std::size_t eq = line.find('=');
      if (eq != std::string::npos) messages.push_back(line.substr(eq + 1));
    }
  }
  return messages;
}

}  // namespace kalvira::testing
