// Fuzzes the profile format: any file content, any names. Nothing may crash, and a value
// just written must read back while every other key keeps its value.
//
// Input: byte 0 = length of the section name, byte 1 = length of the key, then the names,
// then the file content.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/profile_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  if (in.size() < 2) return 0;
  const std::size_t section_len = static_cast<unsigned char>(in[0]) % 16;
  const std::size_t key_len = static_cast<unsigned char>(in[1]) % 16;
  in.remove_prefix(2);
  if (in.size() < section_len + key_len) return 0;
  const std::string_view section = in.substr(0, section_len);
  const std::string_view key = in.substr(section_len, key_len);
  const std::string_view file = in.substr(section_len + key_len);

  namespace pd = kalvira::profile_detail;
  const std::string other_before = pd::LookupValue(file, "ZAMRACONFIG", "FormCaption");
  std::string updated;
  try {
    updated = pd::UpdateValue(file, section, key, "fuzz value");
  } catch (const std::invalid_argument&) {
    return 0;  // a key that could never be read back
  }
  if (pd::LookupValue(updated, section, key) != "fuzz value") std::abort();
  const bool same_key = pd::LookupValue(updated, "ZAMRACONFIG", "FormCaption") == "fuzz value";
  if (!same_key && pd::LookupValue(updated, "ZAMRACONFIG", "FormCaption") != other_before) {
    std::abort();
  }
  return 0;
}
