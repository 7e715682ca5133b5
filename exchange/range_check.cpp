#include "exchange/range_check.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "config/game_files.h"
#include "io/file_paths.h"
#include "tables/aspects.h"
#include "tables/data_files.h"
#include "tables/exchange_plan.h"

namespace {

// The files' sizes, each found once by its path: -1 when it cannot be found.
class FileSizes {
 public:
  // The size of the file at windowsPath; a file first found too large, or
  // missing while it is one of the folder's own (own), adds its finding: a
  // folder holds the files of its version only.
  int64_t Of(const std::string& windowsPath, bool own, std::vector<std::string>* findings,
             int* found) {
    for (const auto& known : sizes_) {
      if (known.first == windowsPath) return known.second;
    }
    std::error_code error;
    uintmax_t size = std::filesystem::file_size(NativePath(windowsPath.c_str()), error);
    int64_t result = error ? -1 : static_cast<int64_t>(size);
    if (result < 0 && own) {
      findings->push_back(NativePath(windowsPath.c_str()) +
                          ":0: cannot be opened: its ranges were not checked");
      ++*found;
    } else if (result > INT32_MAX) {
      findings->push_back(NativePath(windowsPath.c_str()) + ":0: has " + std::to_string(result) +
                          " bytes, more than 2 GiB: no exchange can load it");
      ++*found;
      result = -1;
    }
    sizes_.emplace_back(windowsPath, result);
    return result;
  }

 private:
  std::vector<std::pair<std::string, int64_t>> sizes_;
};

}  // namespace

int CheckRanges(RecordList versions, RecordList classes, const TableLines& lines,
                const DllPatcher& patcher, std::vector<std::string>* findings) {
  int found = 0;
  FileSizes sizes;
  const VersionFiles& own = FilesFor(patcher, versions, -1);
  // The lists are walked alongside the lines, never searched by position.
  size_t c = 0;
  for (RecordNode* node = classes; node != nullptr && c < lines.size(); node = node->next, ++c) {
    for (size_t version = 0; version < lines[c].size(); ++version) {
      const SkillTableLines& table = lines[c][version];
      const VersionFiles& files = FilesOfVersion(versions, static_cast<int32_t>(version));
      char paths[kPathSlots][kTextSize] = {};
      BuildFilePaths(patcher, files, paths);
      size_t k = 0;
      for (RecordNode* skill =
               static_cast<ClassRecord*>(node)->SkillsOf(static_cast<int32_t>(version));
           skill != nullptr && k < table.skillLines.size(); skill = skill->next, ++k) {
        for (const Aspect& aspect : kAspects) {
          const char* text = static_cast<const SkillRecord*>(skill)->*aspect.offsets;
          // Offsets that are no offsets at all are the table check's findings.
          if (!IsOffsetText(text)) continue;
          int n = files.FileOf(aspect.dll);
          const char* path = paths[n];
          int64_t size = sizes.Of(path, own.IndexOf(files.names[n]) >= 0, findings, &found);
          if (size < 0 || RangeInside(text, aspect.length, static_cast<uint64_t>(size))) continue;
          uint32_t start = 0;
          HexToNumber(&start, text);
          uint64_t end = static_cast<uint64_t>(start) + static_cast<uint64_t>(aspect.length);
          findings->push_back(table.path + ":" + std::to_string(table.skillLines[k]) + ": " +
                              aspect.name + " range " + HexRange(start, end - 1) + " of \"" +
                              skill->name + "\" lies outside " + NativePath(path) + " (" +
                              std::to_string(size) + " bytes)");
          ++found;
        }
      }
    }
  }
  return found;
}
