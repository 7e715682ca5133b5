#include "patch/exchange.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "patch/change_lock.h"
#include "patch/exchange_guard.h"
#include "patch/logger.h"

namespace {

const char kNoChanges[] = "No changes made\n";
const char kErrors[] = "There were errors in your request\n";
const char kJoin[] = " <-> ";
const char kBusy[] = "Another Orvanel is changing these files: nothing was changed.\n";

// The three aspects in processing order: their name, which DLL, how many
// bytes, which offset field of a skill, and the line the result shows.
struct Aspect {
  const char* name;
  bool SkillSelection::*ticked;
  int fileNumber;
  int32_t length;
  char (SkillRecord::*offsets)[kVersionCount][6];
  const char* resultLine;
};

const Aspect kAspects[] = {
    {"Effects", &SkillSelection::effects, kGameDll, 12, &SkillRecord::effectsOffset,
     "   Effects\n"},
    {"Graphics", &SkillSelection::graphics, kClientDll, 20, &SkillRecord::graphicsOffset,
     "   Graphics\n"},
    {"Descriptions", &SkillSelection::descriptions, kClientDll, 16,
     &SkillRecord::descriptionsOffset, "   Descriptions\n"},
};

const SkillRecord* FindSkill(RecordList classes, int32_t classPosition, int32_t version,
                             int32_t skillPosition) {
  auto* record = static_cast<ClassRecord*>(AtPosition(classes, classPosition));
  if (record == nullptr) return nullptr;
  return static_cast<const SkillRecord*>(AtPosition(record->skillLists[version], skillPosition));
}

// A DLL's image while the exchange holds it outside the patcher.
struct HeldImage {
  bool tried = false;
  bool loaded = false;
  std::unique_ptr<uint8_t[]> bytes;
  int32_t size = 0;
};

void Hold(DllPatcher& patcher, HeldImage* held) {
  held->bytes = std::move(patcher.image);
  held->size = patcher.imageSize;
  patcher.imageSize = 0;
  patcher.loadedFile = -1;
}

void PutBack(DllPatcher& patcher, HeldImage* held, int fileNumber) {
  patcher.image = std::move(held->bytes);
  patcher.imageSize = held->size;
  patcher.loadedFile = fileNumber;
}

// Runs every planned swap in memory, each DLL loaded once; false when a swap
// was refused. A DLL that cannot be opened logs once per aspect, as a load per
// aspect would.
bool SwapInMemory(DllPatcher& patcher, const ExchangePlan& plan, HeldImage held[2], bool* failed) {
  bool refused = false;
  for (int i = 0; i < plan.swapCount; ++i) {
    const PlannedSwap& swap = plan.swaps[i];
    HeldImage& dll = held[swap.fileNumber];
    if (!dll.tried) {
      dll.tried = true;
      dll.loaded = patcher.LoadFile(swap.fileNumber);
    } else if (!dll.loaded) {
      logger.Print("* Couldn't open file %s", patcher.dllPaths[swap.fileNumber]);
    } else {
      PutBack(patcher, &dll, swap.fileNumber);
    }
    if (!dll.loaded) {
      *failed = true;
      continue;
    }
    if (!patcher.SwapRanges(swap.length, swap.firstOffset, swap.secondOffset)) refused = true;
    Hold(patcher, &dll);
  }
  return !refused;
}

bool AnyTicked(const SkillSelection& selection) {
  return selection.effects || selection.graphics || selection.descriptions;
}

// The names line and the aspect lines. Names too long for the buffer are cut
// so that every aspect line still shows.
void ComposeSuccess(const ExchangePlan& plan, char result[kResultSize]) {
  char aspects[kResultSize] = "";
  for (int i = 0; i < plan.swapCount; ++i) {
    std::strncat(aspects, plan.swaps[i].resultLine, sizeof aspects - std::strlen(aspects) - 1);
  }
  size_t budget = kResultSize - 1 - std::strlen(aspects) - (sizeof kJoin - 1) - 1;
  size_t first = std::strlen(plan.firstSkill->name);
  size_t second = std::strlen(plan.secondSkill->name);
  if (first + second > budget) {
    size_t half = budget / 2;
    if (first <= half) {
      second = budget - first;
    } else if (second <= half) {
      first = budget - second;
    } else {
      first = half;
      second = budget - half;
    }
  }
  // The budget above makes every piece fit.
  size_t used = 0;
  auto append = [&](const char* text, size_t length) {
    std::memcpy(result + used, text, length);
    used += length;
  };
  append(plan.firstSkill->name, first);
  append(kJoin, sizeof kJoin - 1);
  append(plan.secondSkill->name, second);
  append("\n", 1);
  append(aspects, std::strlen(aspects));
  result[used] = '\0';
}

}  // namespace

int PlanExchange(RecordList classes, const SkillSelection& selection, ExchangePlan* plan) {
  *plan = ExchangePlan();
  if (selection.version < 0 || selection.version >= kVersionCount) return 0;
  plan->firstSkill =
      FindSkill(classes, selection.firstClass, selection.version, selection.firstSkill);
  plan->secondSkill =
      FindSkill(classes, selection.secondClass, selection.version, selection.secondSkill);
  if (plan->firstSkill == nullptr || plan->secondSkill == nullptr) return 0;

  for (const Aspect& aspect : kAspects) {
    if (!(selection.*aspect.ticked)) continue;
    plan->swaps[plan->swapCount++] = {aspect.fileNumber,
                                      aspect.length,
                                      (plan->firstSkill->*aspect.offsets)[selection.version],
                                      (plan->secondSkill->*aspect.offsets)[selection.version],
                                      aspect.name,
                                      aspect.resultLine};
  }
  return 1;
}

ByteRanges ChangeableRanges(RecordList classes, int fileNumber) {
  ByteRanges ranges;
  for (RecordNode* c = classes; c != nullptr; c = c->next) {
    for (int version = 0; version < kVersionCount; ++version) {
      RecordNode* skills = static_cast<ClassRecord*>(c)->skillLists[version];
      for (RecordNode* k = skills; k != nullptr; k = k->next) {
        for (const Aspect& aspect : kAspects) {
          const char* text = (static_cast<SkillRecord*>(k)->*aspect.offsets)[version];
          if (aspect.fileNumber != fileNumber || !IsOffsetText(text)) continue;
          uint32_t start = 0;
          HexToNumber(&start, text);
          ranges.push_back({start, static_cast<uint32_t>(aspect.length)});
        }
      }
    }
  }
  return ranges;
}

int ExchangeSkills(DllPatcher& patcher, RecordList classes, const SkillSelection& selection,
                   char result[kResultSize]) {
  if (!AnyTicked(selection)) {
    std::snprintf(result, kResultSize, "%s", kNoChanges);
    return 1;
  }
  ExchangePlan plan;
  if (!PlanExchange(classes, selection, &plan)) {
    std::snprintf(result, kResultSize, "%s", kErrors);
    return 0;
  }

  ChangeLock lock(patcher.dllPaths[kGameDll]);
  if (!lock.Held()) {
    if (lock.State() == LockState::kBusy) {
      logger.Print("* Another Orvanel holds %s: nothing was changed", lock.Path().c_str());
      std::snprintf(result, kResultSize, "%s%s", kErrors, kBusy);
    } else {
      // No lock file can be made where the DLLs are (a folder that is
      // missing or not writable): no DLL there can be changed either.
      for (int i = 0; i < plan.swapCount; ++i) {
        logger.Print("* Couldn't open file %s", patcher.dllPaths[plan.swaps[i].fileNumber]);
      }
      std::snprintf(result, kResultSize, "%s", kErrors);
    }
    return 0;
  }
  for (int fileNumber : {kGameDll, kClientDll}) {
    patcher.changeable[fileNumber] = ChangeableRanges(classes, fileNumber);
  }
  std::string refusal = ExchangeRefusal(patcher, versionList, classes, selection, plan);
  if (!refusal.empty()) {
    std::snprintf(result, kResultSize, "%s%s", kErrors, refusal.c_str());
    return 0;
  }

  bool failed = false;
  HeldImage held[2];
  if (!SwapInMemory(patcher, plan, held, &failed)) {
    std::snprintf(result, kResultSize, "%s", kErrors);
    return 0;
  }
  for (int fileNumber : {kGameDll, kClientDll}) {
    if (!held[fileNumber].loaded) continue;
    PutBack(patcher, &held[fileNumber], fileNumber);
    if (!patcher.SaveFile(fileNumber)) failed = true;
  }

  if (failed) {
    std::snprintf(result, kResultSize, "%s", kErrors);
    return 0;
  }
  ComposeSuccess(plan, result);
  return 1;
}
