#include "audio/au_tags.h"

#include <algorithm>

#include "base/text.h"

namespace kalvira {

bool TAuTags::FoldedLess::operator()(std::string_view a, std::string_view b) const {
  return FoldCase(a) < FoldCase(b);
}

void TAuTags::AddKey(std::string_view key) {
  MutexLock lock(mu_);
  if (entries_.find(key) != entries_.end()) return;
  entries_.emplace(std::string(key), Entry{std::string(key), Value{}});
}

bool TAuTags::HasKey(std::string_view key) const {
  MutexLock lock(mu_);
  return entries_.find(key) != entries_.end();
}

std::vector<std::string> TAuTags::Keys() const {
  MutexLock lock(mu_);
  std::vector<std::string> keys;
  keys.reserve(entries_.size());
  for (const auto& [folded, entry] : entries_) keys.push_back(entry.key);
  return keys;
}

TAuTags::Value TAuTags::Get(std::string_view key) const {
  MutexLock lock(mu_);
  const auto it = entries_.find(key);
  return it == entries_.end() ? Value{} : it->second.value;
}

bool TAuTags::Set(std::string_view key, Value value) {
  MutexLock lock(mu_);
  const auto it = entries_.find(key);
  if (it == entries_.end() || it->second.value == value) return false;
  it->second.value = std::move(value);
  return true;
}

std::string TAuTags::GetText(std::string_view key) const {
  const Value value = Get(key);
  if (const auto* number = std::get_if<std::int64_t>(&value)) return std::to_string(*number);
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  return {};
}

TId3v2Tags::TId3v2Tags() {
  static constexpr std::string_view kKeys[] = {
      "TALB", "TAL", "TPE1", "TP1", "TCON", "TCO", "TIT2", "TT2", "TRCK", "TRK", "TYER", "TYE",
      "COMM", "COM", "TCOM", "TCM", "TENC", "TEN", "TCOP", "TCR", "TLAN", "TLA", "WXXX", "WXX"};
  for (std::string_view key : kKeys) AddKey(key);
}

}  // namespace kalvira
