// Fuzz target: whatever a listener types, the converter's output holds only the subset's
// own tags, properly nested and no deeper than the limit, and every other "<", ">" and "&"
// is escaped; so the toolkit can never be handed markup nobody allowed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "ui/html_subset.h"

namespace {

bool StartsWith(std::string_view text, std::size_t at, std::string_view prefix) {
  return text.substr(at, prefix.size()) == prefix;
}

// Aborts unless `out` is well-formed output of the converter.
void CheckOutput(std::string_view out) {
  std::vector<char> open;  // 'b' or 'f'
  std::size_t i = 0;
  while (i < out.size()) {
    const char c = out[i];
    if (c == '>' || c == '"') std::abort();
    if (c == '&') {
      const bool entity = StartsWith(out, i, "&lt;") || StartsWith(out, i, "&gt;") ||
                          StartsWith(out, i, "&amp;") || StartsWith(out, i, "&quot;");
      if (!entity) std::abort();
      i = out.find(';', i) + 1;
      continue;
    }
    if (c != '<') {
      ++i;
      continue;
    }
    const std::size_t end = out.find('>', i);
    if (end == std::string_view::npos) std::abort();
    const std::string_view tag = out.substr(i, end - i + 1);
    if (tag == "<b>") {
      open.push_back('b');
    } else if (tag == "</b>" || tag == "</font>") {
      if (open.empty() || open.back() != tag[2]) std::abort();
      open.pop_back();
    } else if (StartsWith(tag, 0, "<font color=\"")) {
      const std::string_view value = tag.substr(13, tag.size() - 15);
      if (tag.substr(tag.size() - 2) != "\">" || value.empty()) std::abort();
      for (char v : value) {
        const bool ok = (v >= 'a' && v <= 'z') || (v >= '0' && v <= '9') || v == '#';
        if (!ok) std::abort();
      }
      open.push_back('f');
    } else if (tag != "<br>") {
      std::abort();
    }
    if (open.size() > kalvira::ui::kMaxHtmlSubsetDepth) std::abort();
    i = end + 1;
  }
  if (!open.empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckOutput(kalvira::ui::HtmlSubsetToRichText(input));
  return 0;
}
