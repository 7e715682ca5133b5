#include "exchange/range_check.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "io/file_paths.h"
#include "tables/aspects.h"
#include "tables/data_files.h"

namespace {

// A DLL's size, or -1 when it cannot be found.
int64_t DllSize(const char* windowsPath) {
  std::error_code error;
  uintmax_t size = std::filesystem::file_size(NativePath(windowsPath), error);
  return error ? -1 : static_cast<int64_t>(size);
}

}  // namespace

int CheckRanges(RecordList classes, const TableLines& lines, const DllPatcher& patcher,
                std::vector<std::string>* findings) {
  int found = 0;
  int64_t sizes[2];
  for (int fileNumber : {kGameDll, kClientDll}) {
    sizes[fileNumber] = DllSize(patcher.dllPaths[fileNumber]);
    if (sizes[fileNumber] < 0) {
      findings->push_back(NativePath(patcher.dllPaths[fileNumber]) +
                          ":0: cannot be opened: its ranges were not checked");
      ++found;
    } else if (sizes[fileNumber] > INT32_MAX) {
      findings->push_back(NativePath(patcher.dllPaths[fileNumber]) + ":0: has " +
                          std::to_string(sizes[fileNumber]) +
                          " bytes, more than 2 GiB: no exchange can load it");
      ++found;
    }
  }

  // The lists are walked alongside the lines, never searched by position.
  size_t c = 0;
  for (RecordNode* node = classes; node != nullptr && c < lines.size(); node = node->next, ++c) {
    for (size_t version = 0; version < lines[c].size(); ++version) {
      const SkillTableLines& table = lines[c][version];
      size_t k = 0;
      for (RecordNode* skill =
               static_cast<ClassRecord*>(node)->SkillsOf(static_cast<int32_t>(version));
           skill != nullptr && k < table.skillLines.size(); skill = skill->next, ++k) {
        for (const Aspect& aspect : kAspects) {
          const char* text = static_cast<const SkillRecord*>(skill)->*aspect.offsets;
          int64_t size = sizes[aspect.dll];
          // Offsets that are no offsets at all are the table check's findings.
          if (size < 0 || !IsOffsetText(text) ||
              RangeInside(text, aspect.length, static_cast<uint64_t>(size))) {
            continue;
          }
          uint32_t start = 0;
          HexToNumber(&start, text);
          uint64_t end = static_cast<uint64_t>(start) + static_cast<uint64_t>(aspect.length);
          findings->push_back(
              table.path + ":" + std::to_string(table.skillLines[k]) + ": " + aspect.name +
              " range " + HexRange(start, end - 1) + " of \"" + skill->name + "\" lies outside " +
              NativePath(patcher.dllPaths[aspect.dll]) + " (" + std::to_string(size) + " bytes)");
          ++found;
        }
      }
    }
  }
  return found;
}
