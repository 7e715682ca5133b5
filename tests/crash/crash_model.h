// What a power cut may leave of a recorded change: the file operations of
// one folder, and the states a disk may hold after the first n of them.
// The model (docs/reliability.md): bytes written to a file since its last
// flush may be lost, or kept in part in whole 4 KiB blocks (the lost ones
// read as the file's old bytes, or zeros past its old end); names created,
// moved or removed in the folder since its last flush may be lost, the
// later ones with or without the earlier. Each such change is whole or lost.
#ifndef ORVANEL_TESTS_CRASH_CRASH_MODEL_H_
#define ORVANEL_TESTS_CRASH_CRASH_MODEL_H_

#include <cstddef>
#include <map>
#include <string>
#include <vector>

// The files of the folder by name, each with its bytes.
using FolderFiles = std::map<std::string, std::string>;

struct FileOperation {
  enum Kind { kCreate, kWrite, kFlush, kRename, kRemove, kFlushFolder };
  explicit FileOperation(Kind what, int number = -1, std::string named = "",
                         std::string source = "", std::string appended = "")
      : kind(what), file(number), name(named), from(source), bytes(appended) {}
  Kind kind;
  int file = -1;      // the file created, written or flushed
  std::string name;   // the name created or removed, or the rename's target
  std::string from;   // the rename's source
  std::string bytes;  // the bytes a write appends
};

// "create ~ov1234ABCD.tmp", "rename ~ov... -> d2game.dll", "flush folder".
std::string Describe(const FileOperation& operation);

// Every state the model allows after the first count operations, starting
// from initial (on the disk for good), each once.
std::vector<FolderFiles> CrashStates(const FolderFiles& initial,
                                     const std::vector<FileOperation>& operations, size_t count);

// The folder once the first count operations all reached the disk.
FolderFiles Persisted(const FolderFiles& initial, const std::vector<FileOperation>& operations,
                      size_t count);

#endif  // ORVANEL_TESTS_CRASH_CRASH_MODEL_H_
