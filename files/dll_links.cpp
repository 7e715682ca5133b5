#include "files/dll_links.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <utility>

#include "io/file_paths.h"

namespace fs = std::filesystem;

namespace {

bool EndsWithBak(const std::string& name) {
  if (name.size() < 4) return false;
  std::string end = name.substr(name.size() - 4);
  std::transform(end.begin(), end.end(), end.begin(), [](char c) { return std::tolower(c); });
  return end == ".bak";
}

// A folder's canonical form where it exists, so that two spellings of one
// folder lock once.
std::string FolderOf(const std::string& path) {
  std::error_code error;
  fs::path folder = fs::path(NativePath(path.c_str())).parent_path();
  if (folder.empty()) folder = ".";
  fs::path canonical = fs::canonical(folder, error);
  return (error ? folder : canonical).string();
}

}  // namespace

std::string SaveTarget(const char* dllPath) {
  std::error_code error;
  fs::path native = NativePath(dllPath);
  if (!fs::is_symlink(native, error)) return dllPath;
  fs::path target = fs::canonical(native, error);
  return error ? std::string(dllPath) : target.string();
}

FileError LinkRefusal(const char* dllPath) {
  return LinkRefusal(dllPath, SaveTarget(dllPath));
}

FileError LinkRefusal(const char* dllPath, const std::string& target) {
  if (target == dllPath || !EndsWithBak(fs::path(target).filename().string())) return {};
  return {Problem::kLinkToBackup, 0, dllPath, target};
}

DllFolderLocks::DllFolderLocks(const std::vector<std::string>& dllPaths) {
  // Each folder by its canonical form, with the path its lock is taken by:
  // the game folder's as the user gave it, so messages name it that way.
  std::vector<std::pair<std::string, std::string>> folders;
  for (size_t i = 0; i < dllPaths.size(); ++i) {
    if (dllPaths[i].empty()) continue;
    if (i == 0) folders.emplace_back(FolderOf(dllPaths[0]), dllPaths[0]);
    std::string target = SaveTarget(dllPaths[i].c_str());
    targets_.emplace_back(dllPaths[i], target);
    folders.emplace_back(FolderOf(target), target);
  }
  std::stable_sort(folders.begin(), folders.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  folders.erase(std::unique(folders.begin(), folders.end(),
                            [](const auto& a, const auto& b) { return a.first == b.first; }),
                folders.end());
  if (folders.empty()) folders.emplace_back("", "");  // no folder: a lock that fails
  for (const auto& folder : folders) {
    locks_.push_back(std::make_unique<ChangeLock>(folder.second.c_str()));
    if (!locks_.back()->Held()) break;  // the rest would only be let go again
  }
}

std::string DllFolderLocks::TargetOf(const std::string& dllPath) const {
  for (const auto& known : targets_) {
    if (known.first == dllPath) return known.second;
  }
  return SaveTarget(dllPath.c_str());
}

const ChangeLock* DllFolderLocks::FirstNotHeld() const {
  for (const auto& lock : locks_) {
    if (!lock->Held()) return lock.get();
  }
  return nullptr;
}

FileError DllFolderLocks::Error(const char* dllPath) const {
  const ChangeLock* lock = FirstNotHeld();
  return lock == nullptr ? FileError() : lock->Error(dllPath);
}

const std::string& DllFolderLocks::Path() const {
  const ChangeLock* lock = FirstNotHeld();
  return (lock != nullptr ? lock : locks_.front().get())->Path();
}
