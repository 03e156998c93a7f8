#include "scan/drives.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "base/text.h"
#include "platform/file_io.h"

namespace kalvira {

namespace {

// File systems that hold no user files.
constexpr std::array<std::string_view, 24> kPseudoFileSystems = {
    "proc",       "sysfs",   "devtmpfs",   "devpts", "cgroup",      "cgroup2",
    "debugfs",    "tracefs", "securityfs", "pstore", "bpf",         "configfs",
    "fusectl",    "mqueue",  "hugetlbfs",  "autofs", "binfmt_misc", "efivarfs",
    "rpc_pipefs", "nsfs",    "selinuxfs",  "ramfs",  "squashfs",    "nfsd"};

// Mount points of the system itself, with everything below them.
constexpr std::array<std::string_view, 4> kSystemFolders = {"/proc", "/sys", "/dev", "/run"};

bool Below(std::string_view path, std::string_view folder) {
  return path == folder ||
         (path.starts_with(folder) && path.size() > folder.size() && path[folder.size()] == '/');
}

// A field of a mount table line: "\ooo" stands for the byte of that octal number.
std::string DecodeField(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    const auto octal = [&](std::size_t at) { return field[at] >= '0' && field[at] <= '7'; };
    if (field[i] == '\\' && i + 3 < field.size() && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                               (field[i + 3] - '0'));
      i += 3;
      continue;
    }
    out += field[i];
  }
  return out;
}

std::vector<std::string_view> SplitBlanks(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    const std::size_t start = at;
    while (at < line.size() && line[at] != ' ' && line[at] != '\t') ++at;
    if (at > start) fields.push_back(line.substr(start, at - start));
  }
  return fields;
}

}  // namespace

std::vector<TDrive> DrivesOfMountTable(std::string_view mounts) {
  std::vector<std::string> roots;
  std::size_t start = 0;
  while (start < mounts.size()) {
    std::size_t end = mounts.find('\n', start);
    if (end == std::string_view::npos) end = mounts.size();
    const std::vector<std::string_view> fields = SplitBlanks(mounts.substr(start, end - start));
    start = end + 1;
    if (fields.size() < 3) continue;
    const std::string type = DecodeField(fields[2]);
    if (std::find(kPseudoFileSystems.begin(), kPseudoFileSystems.end(), type) !=
        kPseudoFileSystems.end()) {
      continue;
    }
    std::string root = DecodeField(fields[1]);
    if (root.empty() || root.front() != '/') continue;
    if (std::any_of(kSystemFolders.begin(), kSystemFolders.end(),
                    [&](std::string_view folder) { return Below(root, folder); })) {
      continue;
    }
    roots.push_back(std::move(root));
  }
  std::sort(roots.begin(), roots.end());
  roots.erase(std::unique(roots.begin(), roots.end()), roots.end());
  std::vector<TDrive> drives;
  drives.reserve(roots.size());
  for (std::string& root : roots) drives.push_back({std::move(root), true});
  return drives;
}

std::vector<TDrive> DrivesOfList(std::string_view list) {
  std::vector<TDrive> drives;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(':', start);
    if (end == std::string_view::npos) end = list.size();
    if (end > start) drives.push_back({std::string(list.substr(start, end - start)), false});
    start = end + 1;
  }
  return drives;
}

std::vector<TDrive> SystemDrives() {
  if (const char* list = std::getenv(kDrivesVariable)) return DrivesOfList(list);
  std::string mounts;
  if (ReadWholeFile("/proc/self/mounts", mounts) != ReadResult::kRead) mounts.clear();
  return DrivesOfMountTable(mounts);
}

bool DiskInDrive(const TDrive& drive, IBeeper& beeper) {
  struct statvfs info {};
  if (::statvfs(drive.root.c_str(), &info) != 0 || info.f_blocks == 0) {
    beeper.Beep();
    return false;
  }
  return true;
}

std::vector<TDrive> ReadyDrives(const std::vector<TDrive>& candidates, IBeeper& beeper) {
  std::vector<TDrive> ready;
  for (const TDrive& drive : candidates) {
    if (DiskInDrive(drive, beeper)) ready.push_back(drive);
  }
  return ready;
}

}  // namespace kalvira
