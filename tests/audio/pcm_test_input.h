// A PCM input for output tests: hands out a byte block in slices of a chosen size and
// counts its runs. Reads happen on the output's worker; the counters are atomics the test
// reads afterwards.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/au_exception.h"
#include "audio/au_input.h"

namespace kalvira::testing {

class PcmTestInput : public TAuInput {
 public:
  PcmTestInput(std::uint32_t channels, std::uint32_t rate, std::uint32_t bits,
               std::vector<std::uint8_t> data, std::uint32_t slice = 4608)
      : channels_(channels), rate_(rate), bits_(bits), data_(std::move(data)), slice_(slice) {}
  ~PcmTestInput() override { DetachOutputs(); }

  std::uint32_t GetBitsPerSample() override { return bits_; }
  std::uint32_t GetChannels() override { return channels_; }
  std::uint32_t GetSampleRate() override { return rate_; }

  const std::vector<std::uint8_t>& data() const { return data_; }
  int begun() const { return begun_.load(); }
  int ended() const { return ended_.load(); }
  // BeginRun raises this text when not empty.
  void FailBegin(std::string message) { fail_begin_ = std::move(message); }

 protected:
  void BeginRunCore() override {
    if (!fail_begin_.empty()) throw EAuException(fail_begin_);
    ++begun_;
    pos_ = 0;
    SetPosition(0);
    SetSize(static_cast<std::int64_t>(data_.size()));
  }
  void EndRunCore() override { ++ended_; }
  void ReadCore(const std::uint8_t*& data, std::uint32_t& bytes) override {
    const std::size_t n = std::min<std::size_t>({bytes, slice_, data_.size() - pos_});
    data = n == 0 ? nullptr : data_.data() + pos_;
    bytes = static_cast<std::uint32_t>(n);
    pos_ += n;
    SetPosition(Position() + static_cast<std::int64_t>(n));
  }

 private:
  const std::uint32_t channels_;
  const std::uint32_t rate_;
  const std::uint32_t bits_;
  const std::vector<std::uint8_t> data_;
  const std::uint32_t slice_;
  std::string fail_begin_;  // set before the run
  std::size_t pos_ = 0;     // worker thread
  std::atomic<int> begun_{0};
  std::atomic<int> ended_{0};
};

// Sample data that never repeats within 2^16 frames and is never silence, so a test can
// tell every byte's place.
inline std::vector<std::uint8_t> PatternPcm(std::size_t frames, std::uint32_t channels,
                                            std::uint32_t bits) {
  const std::uint32_t bytes = bits / 8;
  std::vector<std::uint8_t> out;
  out.reserve(frames * channels * bytes);
  for (std::size_t f = 0; f < frames; ++f) {
    for (std::uint32_t c = 0; c < channels; ++c) {
      const std::uint32_t v = static_cast<std::uint32_t>(f * 977 + c * 131 + 1);
      for (std::uint32_t b = 0; b < bytes; ++b) {
        std::uint8_t byte = static_cast<std::uint8_t>(v >> (8 * b));
        if (byte == 0 || byte == 128) byte = 1;  // never a silence byte
        out.push_back(byte);
      }
    }
  }
  return out;
}

}  // namespace kalvira::testing
