#include "scan/collect_files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <optional>
#include <set>
#include <utility>

#include "base/text.h"

namespace kalvira {

namespace {

std::u32string FoldedCodePoints(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  ForEachCodePoint(utf8, [&](char32_t c) { out.push_back(FoldCase(c)); });
  return out;
}

// The classic wildcard match with one back-tracking point: the last "*" seen.
bool Match(std::u32string_view name, std::u32string_view mask) {
  std::size_t n = 0;
  std::size_t m = 0;
  std::size_t star = std::u32string_view::npos;
  std::size_t star_n = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == U'?' || (mask[m] != U'*' && mask[m] == name[n]))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == U'*') {
      star = m++;
      star_n = n;
    } else if (star != std::u32string_view::npos) {
      m = star + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == U'*') ++m;
  return m == mask.size();
}

struct Entry {
  std::string name;
  unsigned char type;  // d_type: DT_DIR, DT_REG, DT_LNK, DT_UNKNOWN...
};

// A folder being walked: its path with a trailing "/" and the entries still to visit.
struct Frame {
  std::string folder;
  std::vector<Entry> entries;
  std::size_t next = 0;
};

// The entries of `folder` but "." and "..", in the file system's order; nothing when it
// cannot be listed. The folder is closed again before the entries are visited.
std::optional<std::vector<Entry>> ReadFolder(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return std::nullopt;
  std::vector<Entry> entries;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    entries.push_back({std::string(name), entry->d_type});
  }
  ::closedir(dir);
  return entries;
}

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
  return Match(FoldedCodePoints(name), FoldedCodePoints(mask));
}

void CollectFiles(const std::string& folder, std::string_view mask, std::vector<std::string>& list,
                  bool recurse, const CollectOptions& options) {
  const std::u32string folded_mask = FoldedCodePoints(mask);
  std::string root = folder;
  if (root.empty() || root.back() != '/') root += '/';

  struct stat root_info {};
  if (::stat(root.c_str(), &root_info) != 0) return;
  std::set<std::pair<dev_t, ino_t>> visited{{root_info.st_dev, root_info.st_ino}};

  std::optional<std::vector<Entry>> top_entries = ReadFolder(root);
  if (!top_entries) return;
  std::vector<Frame> stack;
  stack.push_back({root, std::move(*top_entries)});

  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.entries.size()) {
      stack.pop_back();
      continue;
    }
    Entry entry = std::move(frame.entries[frame.next++]);
    if (options.pump) options.pump();
    std::string path = frame.folder + entry.name;

    bool is_folder = entry.type == DT_DIR;
    struct stat info {};
    bool have_info = false;
    if (entry.type == DT_LNK || entry.type == DT_UNKNOWN) {
      have_info = ::stat(path.c_str(), &info) == 0;  // follows the link
      is_folder = have_info && S_ISDIR(info.st_mode);
    }

    if (is_folder) {
      if (!recurse) continue;
      if (!have_info && ::stat(path.c_str(), &info) != 0) continue;
      if (options.stay_on_device && info.st_dev != root_info.st_dev) continue;
      if (!visited.emplace(info.st_dev, info.st_ino).second) continue;
      path += '/';
      std::optional<std::vector<Entry>> entries = ReadFolder(path);
      if (!entries) continue;
      // `frame` dangles from here on.
      stack.push_back({std::move(path), std::move(*entries)});
    } else if (Match(FoldedCodePoints(entry.name), folded_mask)) {
      if (options.pump) options.pump();
      list.push_back(std::move(path));
      if (options.on_found) options.on_found(list.size());
    }
  }
}

}  // namespace kalvira
