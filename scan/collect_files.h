// CollectFiles, the scan's folder walk, and the file-name mask it matches names with.
//
// The walk is depth-first and keeps its own stack, so a tree of any depth costs memory,
// not call stack; at most one folder is open at a time. Hidden entries are seen like any
// other. A symbolic link to a folder is entered like a folder, but a folder already
// entered in this call (same device and inode) is never entered again, so a link cycle
// ends. A folder that cannot be listed (no permission, vanished, a path the system
// refuses as too long) contributes nothing and raises nothing.
//
// Plain functions; any thread. The callbacks run on the calling thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kalvira {

// Whether `name` matches `mask`: "*" stands for any run of characters, "?" for exactly
// one character (not byte), letters compared without regard to case.
bool MatchesMask(std::string_view name, std::string_view mask);

struct CollectOptions {
  // Called at every folder entry and again before each match is appended: the scan lets
  // the user-interface thread breathe there.
  std::function<void()> pump;
  // Called with the list's new size after each match is appended.
  std::function<void(std::size_t)> on_found;
  // Enter no folder on another device than `folder`'s: the mounts below a drive are
  // drives of their own.
  bool stay_on_device = false;
};

// Appends to `list` the path (folder + "/" + name, folders joined the same way) of every
// file below `folder` whose name matches `mask`, in the order the file system lists the
// entries; descends into subfolders when `recurse` is set. Folders themselves never match.
void CollectFiles(const std::string& folder, std::string_view mask, std::vector<std::string>& list,
                  bool recurse, const CollectOptions& options = {});

}  // namespace kalvira
