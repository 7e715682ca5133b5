#include "patch/exchange.h"

#include <cstdio>
#include <cstring>

namespace {

const char kNoChanges[] = "No changes made\n";
const char kErrors[] = "There were errors in your request\n";
const char kJoin[] = " <-> ";

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

  // Every aspect loads its file afresh, so two changes to one file compose.
  bool failed = false;
  for (int i = 0; i < plan.swapCount; ++i) {
    const PlannedSwap& swap = plan.swaps[i];
    bool done = patcher.LoadFile(swap.fileNumber) &&
                patcher.SwapRanges(swap.length, swap.firstOffset, swap.secondOffset) &&
                patcher.SaveFile(swap.fileNumber);
    if (!done) failed = true;
  }

  if (failed) {
    std::snprintf(result, kResultSize, "%s", kErrors);
    return 0;
  }
  ComposeSuccess(plan, result);
  return 1;
}
