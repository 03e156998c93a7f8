#include "tests/audio/mp3_fixtures.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "base/text.h"
#include "tests/support/test_support.h"

namespace kalvira::testing {

namespace {

void AppendBigEndian32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

// ID3v2 sizes of the tag header (and of v2.4 frames) keep 7 bits per byte.
void AppendSyncsafe32(std::string& out, std::uint32_t value) {
  for (int shift = 21; shift >= 0; shift -= 7) out += static_cast<char>((value >> shift) & 0x7F);
}

}  // namespace

bool MakeMp3(const std::string& path, const Mp3Recipe& recipe) {
  const std::string wav = path + ".wav";
  std::string synth = "sox -q -n -r " + std::to_string(recipe.sample_rate) + " -c " +
                      std::to_string(recipe.channels) + " -b 16 -e signed " + ShellQuote(wav) +
                      " synth " + std::to_string(recipe.seconds) + " sine 440";
  if (recipe.channels == 2) synth += " sine 660";
  synth += " vol 0.5 2>&1";  // headroom: a full-scale sine clips once dithered
  if (!RunCommand(synth)) return false;
  // lame would resample to suit a low bit rate: keep the rate the test asked for.
  std::string encode = "lame --quiet -b " + std::to_string(recipe.bitrate_kbps) + " --resample " +
                       std::to_string(recipe.sample_rate / 1000.0);
  // Appended piece by piece: g++ 12 at -O3 warns falsely (-Wrestrict) on " " + text.
  auto add = [&encode](const std::string& arg) { encode.append(" ").append(ShellQuote(arg)); };
  for (const std::string& option : recipe.lame_options) add(option);
  add(wav);
  add(path);
  encode.append(" 2>&1");
  const bool ok = RunCommand(encode).has_value();
  std::remove(wav.c_str());
  return ok;
}

std::string MakeMp3Bytes(const Mp3Recipe& recipe) {
  TempDir dir;
  const std::string path = dir.File("tone.mp3");
  if (!MakeMp3(path, recipe)) return {};
  return ReadFileBytes(path);
}

std::optional<std::string> DecodeWithMpg123Tool(const std::string& path) {
  return RunCommand("mpg123 -q -e s16 -s " + ShellQuote(path));
}

std::string EncodeId3Text(Id3Encoding encoding, std::string_view text) {
  std::string out;
  switch (encoding) {
    case Id3Encoding::kLatin1:
    case Id3Encoding::kUtf8:
      out = text;
      break;
    case Id3Encoding::kUtf16:
      out = "\xFF\xFE";
      for (char16_t unit : Utf8ToUtf16(text)) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
      }
      break;
    case Id3Encoding::kUtf16Be:
      for (char16_t unit : Utf8ToUtf16(text)) {
        out += static_cast<char>(unit >> 8);
        out += static_cast<char>(unit & 0xFF);
      }
      break;
  }
  return out;
}

std::string Id3v2TextFrame(int major_version, std::string_view id, Id3Encoding encoding,
                           std::string_view text) {
  std::string payload(1, static_cast<char>(encoding));
  payload += EncodeId3Text(encoding, text);
  std::string frame(id);
  const auto size = static_cast<std::uint32_t>(payload.size());
  if (major_version == 2) {
    for (int shift = 16; shift >= 0; shift -= 8) frame += static_cast<char>((size >> shift) & 0xFF);
  } else {
    if (major_version == 4) {
      AppendSyncsafe32(frame, size);
    } else {
      AppendBigEndian32(frame, size);
    }
    frame += std::string(2, '\0');  // flags
  }
  return frame + payload;
}

std::string Id3v2Tag(int major_version, const std::vector<std::string>& frames,
                     std::size_t padding) {
  std::string body;
  for (const std::string& frame : frames) body += frame;
  body += std::string(padding, '\0');
  std::string tag = "ID3";
  tag += static_cast<char>(major_version);
  tag += '\0';  // revision
  tag += '\0';  // flags
  AppendSyncsafe32(tag, static_cast<std::uint32_t>(body.size()));
  return tag + body;
}

std::string Id3v1Tag(const Id3v1Fields& fields) {
  auto field = [](std::string_view text, std::size_t width) {
    std::string out(text.substr(0, width));
    out.resize(width, '\0');
    return out;
  };
  std::string tag = "TAG";
  tag += field(fields.title, 30);
  tag += field(fields.artist, 30);
  tag += field(fields.album, 30);
  tag += field(fields.year, 4);
  if (fields.track > 0) {
    tag += field(fields.comment, 28);
    tag += '\0';
    tag += static_cast<char>(fields.track);
  } else {
    tag += field(fields.comment, 30);
  }
  tag += static_cast<char>(fields.genre);
  return tag;
}

}  // namespace kalvira::testing
