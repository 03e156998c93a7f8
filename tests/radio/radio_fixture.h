// A program folder for the radio's tests: station lists, real MP3 files made at test
// time, the error log read back, and desktop services that record what they are asked.
// Test thread only.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "platform/desktop_services.h"
#include "radio/settings_files.h"
#include "tests/support/test_support.h"

namespace kalvira::testing {

class RecordingAlert : public IAlertPopup {
 public:
  void SetText(const std::string& html) override { text = html; }
  void Show() override { shown.push_back(text); }
  std::string text;
  std::vector<std::string> shown;  // the text at every Show
};

class RecordingMessageBox : public IMessageBox {
 public:
  MessageResult Show(const MessageBoxRequest& request) override {
    requests.push_back(request);
    return answer;
  }
  std::vector<MessageBoxRequest> requests;
  MessageResult answer = MessageResult::kOk;
};

class RecordingShell : public IShell {
 public:
  void OpenUrl(const std::string& url) override { urls.push_back(url); }
  void OpenFolder(const std::string& folder, const std::string& item) override {
    folders.push_back(folder);
    items.push_back(item);
  }
  std::vector<std::string> urls;
  std::vector<std::string> folders;
  std::vector<std::string> items;
};

class RecordingBeeper : public IBeeper {
 public:
  void Beep() override { ++beeps; }
  void Tone(unsigned frequency_hz, unsigned duration_ms) override {
    tones.emplace_back(frequency_hz, duration_ms);
  }
  int beeps = 0;
  std::vector<std::pair<unsigned, unsigned>> tones;
};

// A temporary program folder. Its settings log with a clock that moves one second per
// entry, so no two entries share a key and the log keeps them all in order.
class ProgramFolder {
 public:
  ProgramFolder();

  // The folder with its trailing "/".
  const std::string& Dir() const { return dir_; }
  std::string File(const std::string& name) const { return dir_ + name; }
  const TSettingsFiles& Settings() const { return settings_; }

  // A real MP3 of `seconds` in the folder (or at an absolute path), with lame's tag
  // options (e.g. {"--ta", "Band", "--tn", "7", "--id3v2-only"}); returns its path.
  std::string MakeTrack(const std::string& name, double seconds,
                        const std::vector<std::string>& tags = {});
  // Writes the station list `name` (e.g. "rpop.lfm") with `entries`, CR LF after each.
  void WriteList(const std::string& name, const std::vector<std::string>& entries);
  // Every message of the ERRORLOG section, in file order.
  std::vector<std::string> LogMessages() const;

 private:
  TempDir temp_;
  std::string dir_;
  std::chrono::system_clock::time_point now_;
  TSettingsFiles settings_;
};

}  // namespace kalvira::testing
