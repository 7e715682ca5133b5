#include "patch/range_check.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "io/file_paths.h"
#include "patch/exchange.h"
#include "tables/data_files.h"

namespace {

// A DLL's size, or -1 when it cannot be found.
int64_t DllSize(const char* windowsPath) {
  std::error_code error;
  uintmax_t size = std::filesystem::file_size(NativePath(windowsPath), error);
  return error ? -1 : static_cast<int64_t>(size);
}

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(value));
  return text;
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

  // Each skill exchanged with itself, every aspect ticked, plans exactly the
  // ranges a real exchange of that skill would move.
  // The lists are walked alongside the lines, never searched by position.
  size_t c = 0;
  for (RecordNode* node = classes; node != nullptr && c < lines.size(); node = node->next, ++c) {
    for (int version = 0; version < kVersionCount; ++version) {
      const SkillTableLines& table = lines[c][version];
      size_t k = 0;
      for (RecordNode* skill = static_cast<ClassRecord*>(node)->skillLists[version];
           skill != nullptr && k < table.skillLines.size(); skill = skill->next, ++k) {
        SkillSelection selection;
        selection.version = version;
        selection.effects = selection.graphics = selection.descriptions = true;
        ExchangePlan plan;
        const auto* record = static_cast<const SkillRecord*>(skill);
        PlanSwaps(record, record, selection, &plan);
        for (int i = 0; i < plan.swapCount; ++i) {
          const PlannedSwap& swap = plan.swaps[i];
          int64_t size = sizes[swap.fileNumber];
          // Offsets that are no offsets at all are the table check's findings.
          if (size < 0 || !IsOffsetText(swap.firstOffset)) continue;
          uint32_t start = 0;
          HexToNumber(&start, swap.firstOffset);
          uint64_t end = static_cast<uint64_t>(start) + static_cast<uint64_t>(swap.length);
          if (end <= static_cast<uint64_t>(size)) continue;
          findings->push_back(table.path + ":" + std::to_string(table.skillLines[k]) + ": " +
                              swap.aspectName + " range " + Hex(start) + ".." + Hex(end - 1) +
                              " of \"" + plan.firstSkill->name + "\" lies outside " +
                              NativePath(patcher.dllPaths[swap.fileNumber]) + " (" +
                              std::to_string(size) + " bytes)");
          ++found;
        }
      }
    }
  }
  return found;
}
