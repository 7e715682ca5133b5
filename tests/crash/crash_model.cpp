#include "tests/crash/crash_model.h"

#include <algorithm>
#include <set>

namespace {

constexpr size_t kBlock = 4096;
// A file's unflushed blocks beyond this many go with the last one, so that
// a large file still gives a bounded number of states.
constexpr size_t kMaxBlockChoices = 8;
// A change flushes its folder after a handful of names; more is a fault.
constexpr size_t kMaxPendingNames = 16;

struct ModelFile {
  std::string flushed;  // on the disk for good
  std::string written;  // as the program last wrote it
};

// The operations replayed: every file, the names as of the folder's last
// flush, and the name changes made since.
struct Replay {
  std::map<int, ModelFile> files;
  std::map<std::string, int> names;
  std::vector<const FileOperation*> pending;
};

// One change of names, as the folder shows it once it reached the disk.
void Apply(const FileOperation& change, std::map<std::string, int>* names) {
  if (change.kind == FileOperation::kRename) names->erase(change.from);
  if (change.kind == FileOperation::kRemove) {
    names->erase(change.name);
  } else {
    (*names)[change.name] = change.file;
  }
}

Replay Run(const FolderFiles& initial, const std::vector<FileOperation>& operations, size_t count) {
  Replay replay;
  int number = -1;  // the initial files; the recorded ones count from 0
  for (const auto& [name, bytes] : initial) {
    replay.files[number] = {bytes, bytes};
    replay.names[name] = number--;
  }
  for (size_t i = 0; i < count && i < operations.size(); ++i) {
    const FileOperation& operation = operations[i];
    switch (operation.kind) {
      case FileOperation::kWrite:
        replay.files[operation.file].written += operation.bytes;
        break;
      case FileOperation::kFlush:
        replay.files[operation.file].flushed = replay.files[operation.file].written;
        break;
      case FileOperation::kFlushFolder:
        for (const FileOperation* change : replay.pending) Apply(*change, &replay.names);
        replay.pending.clear();
        break;
      case FileOperation::kCreate:
        replay.files[operation.file] = ModelFile();
        replay.pending.push_back(&operation);
        break;
      default:
        replay.pending.push_back(&operation);
    }
  }
  return replay;
}

// The names with the pending changes that chosen marks.
std::map<std::string, int> NamesWith(const Replay& replay, const std::vector<bool>& chosen) {
  std::map<std::string, int> names = replay.names;
  for (size_t i = 0; i < replay.pending.size(); ++i) {
    if (chosen[i]) Apply(*replay.pending[i], &names);
  }
  return names;
}

// What the disk may hold of a file: its flushed bytes, or its written
// length with any choice of its unflushed blocks (the others as before).
std::vector<std::string> Contents(const ModelFile& file) {
  if (file.flushed == file.written) return {file.written};
  std::string before = file.flushed;
  before.resize(file.written.size(), '\0');
  std::vector<size_t> dirty;
  for (size_t at = 0; at < file.written.size(); at += kBlock) {
    if (file.written.compare(at, kBlock, before, at, kBlock) != 0) dirty.push_back(at);
  }
  size_t choices = std::min(dirty.size(), kMaxBlockChoices);
  std::vector<std::string> contents = {file.flushed};
  for (size_t mask = 0; mask < (size_t{1} << choices); ++mask) {
    std::string bytes = before;
    for (size_t d = 0; d < dirty.size(); ++d) {
      if ((mask >> std::min(d, choices - 1) & 1) == 0) continue;
      bytes.replace(dirty[d], kBlock, file.written, dirty[d], kBlock);
    }
    contents.push_back(bytes);
  }
  return contents;
}

// Every folder the names give, each file in each of its possible contents.
void AddFolders(const Replay& replay, const std::map<std::string, int>& names,
                std::set<FolderFiles>* folders) {
  std::vector<std::pair<std::string, std::vector<std::string>>> files;
  for (const auto& [name, number] : names) {
    files.emplace_back(name, Contents(replay.files.at(number)));
  }
  std::vector<size_t> pick(files.size(), 0);
  for (;;) {
    FolderFiles folder;
    for (size_t f = 0; f < files.size(); ++f) folder[files[f].first] = files[f].second[pick[f]];
    folders->insert(folder);
    size_t f = 0;
    while (f < files.size() && ++pick[f] == files[f].second.size()) pick[f++] = 0;
    if (f == files.size()) return;
  }
}

}  // namespace

std::string Describe(const FileOperation& operation) {
  switch (operation.kind) {
    case FileOperation::kCreate:
      return "create " + operation.name;
    case FileOperation::kWrite:
      return "write " + std::to_string(operation.bytes.size()) + " bytes";
    case FileOperation::kFlush:
      return "flush the file";
    case FileOperation::kRename:
      return "rename " + operation.from + " -> " + operation.name;
    case FileOperation::kRemove:
      return "remove " + operation.name;
    case FileOperation::kFlushFolder:
      return "flush the folder";
  }
  return "";
}

std::vector<FolderFiles> CrashStates(const FolderFiles& initial,
                                     const std::vector<FileOperation>& operations, size_t count) {
  Replay replay = Run(initial, operations, count);
  size_t pending = std::min(replay.pending.size(), kMaxPendingNames);
  std::set<FolderFiles> folders;
  for (size_t mask = 0; mask < (size_t{1} << pending); ++mask) {
    std::vector<bool> chosen(replay.pending.size(), true);
    for (size_t i = 0; i < pending; ++i) chosen[i] = (mask >> i & 1) != 0;
    AddFolders(replay, NamesWith(replay, chosen), &folders);
  }
  return std::vector<FolderFiles>(folders.begin(), folders.end());
}

FolderFiles Persisted(const FolderFiles& initial, const std::vector<FileOperation>& operations,
                      size_t count) {
  Replay replay = Run(initial, operations, count);
  FolderFiles folder;
  for (const auto& [name, number] :
       NamesWith(replay, std::vector<bool>(replay.pending.size(), true))) {
    folder[name] = replay.files.at(number).written;
  }
  return folder;
}
