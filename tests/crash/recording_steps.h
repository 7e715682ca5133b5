// The real file system, with every step of a change that reaches the disk
// recorded as tests/crash/crash_model.h reads it. All of a change's files
// lie in one folder; a step anywhere else is noted in outside.
#ifndef ORVANEL_TESTS_CRASH_RECORDING_STEPS_H_
#define ORVANEL_TESTS_CRASH_RECORDING_STEPS_H_

#include <map>
#include <string>
#include <vector>

#include "io/save_steps.h"
#include "tests/crash/crash_model.h"

class RecordingSteps : public SaveSteps {
 public:
  explicit RecordingSteps(std::string folder) : folder_(std::move(folder)) {}

  FILE* Open(const char* path) override {
    FILE* file = SaveSteps::Open(path);
    if (file == nullptr) return file;
    open_[file] = names_[Name(path)] = next_;
    Record(FileOperation(FileOperation::kCreate, next_++, Name(path)));
    return file;
  }
  bool Write(FILE* file, const uint8_t* bytes, size_t count) override {
    if (!SaveSteps::Write(file, bytes, count)) return false;
    Record(FileOperation(FileOperation::kWrite, open_[file], "", "",
                         std::string(reinterpret_cast<const char*>(bytes), count)));
    return true;
  }
  bool Flush(FILE* file) override {
    if (!SaveSteps::Flush(file)) return false;
    Record(FileOperation(FileOperation::kFlush, open_[file]));
    return true;
  }
  bool Close(FILE* file) override {
    open_.erase(file);
    return SaveSteps::Close(file);
  }
  bool Replace(const char* from, const char* to) override {
    if (!SaveSteps::Replace(from, to)) return false;
    int moved = names_.count(Name(from)) ? names_[Name(from)] : -1;
    if (moved < 0) outside += std::string(from) + " was not made by this change; ";
    names_.erase(Name(from));
    names_[Name(to)] = moved;
    Record(FileOperation(FileOperation::kRename, moved, Name(to), Name(from)));
    return true;
  }
  bool Remove(const char* path) override {
    if (!SaveSteps::Remove(path)) return false;
    names_.erase(Name(path));
    Record(FileOperation(FileOperation::kRemove, -1, Name(path)));
    return true;
  }
  bool FlushFolder(const char* path) override {
    if (!SaveSteps::FlushFolder(path)) return false;
    Name(path);
    Record(FileOperation(FileOperation::kFlushFolder));
    return true;
  }

  std::vector<FileOperation> operations;
  std::string outside;

 private:
  void Record(FileOperation operation) { operations.push_back(std::move(operation)); }
  // The file name in path; a path in another folder is noted.
  std::string Name(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash);
    if (folder != folder_) outside += path + " is outside " + folder_ + "; ";
    return path.substr(slash == std::string::npos ? 0 : slash + 1);
  }

  std::string folder_;
  std::map<FILE*, int> open_;
  std::map<std::string, int> names_;
  int next_ = 0;
};

#endif  // ORVANEL_TESTS_CRASH_RECORDING_STEPS_H_
