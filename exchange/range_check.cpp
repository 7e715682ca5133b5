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
  std::vector<std::vector<std::string>> paths;  // by version position
  ForEachSkillRange(versions, classes, [&](const SkillRange& range) {
    const SkillTableLines* seen =
        SeenTable(lines, range.classIndex, range.version, range.skillIndex);
    if (seen == nullptr) return;
    const SkillTableLines& table = *seen;
    const VersionFiles& files = FilesOfVersion(versions, range.version);
    // Each version's paths found once: finding a name reads the folder.
    if (paths.size() <= static_cast<size_t>(range.version)) paths.resize(range.version + 1);
    std::vector<std::string>& ofVersion = paths[static_cast<size_t>(range.version)];
    if (ofVersion.empty()) {
      char built[kPathSlots][kTextSize] = {};
      BuildFilePaths(patcher, files, built);
      ofVersion.assign(built, built + kPathSlots);
    }
    const std::string& path = ofVersion[static_cast<size_t>(range.fileNumber)];
    bool ownFile = own.IndexOf(files.names[range.fileNumber]) >= 0;
    int64_t size = sizes.Of(path, ownFile, findings, &found);
    uint64_t end = static_cast<uint64_t>(range.start) + static_cast<uint64_t>(range.aspect->length);
    if (size < 0 || end <= static_cast<uint64_t>(size)) return;
    findings->push_back(table.path + ":" + std::to_string(table.skillLines[range.skillIndex]) +
                        ": " + range.aspect->name + " range " + HexRange(range.start, end - 1) +
                        " of \"" + range.skill->name + "\" lies outside " +
                        NativePath(path.c_str()) + " (" + std::to_string(size) + " bytes)");
    ++found;
  });
  return found;
}
