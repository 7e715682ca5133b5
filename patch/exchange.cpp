#include "patch/exchange.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "io/change_lock.h"
#include "io/virtual_store.h"
#include "patch/exchange_guard.h"
#include "patch/logger.h"
#include "tables/table_check.h"

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
  FileError error;  // why it was not loaded
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

// Where the skill at skillPosition of a class's table for version is read:
// "data\Amazon 109b.txt line 4" (the line when the table can be scanned).
std::string TablePlace(RecordList classes, int32_t classPosition, int32_t version,
                       int32_t skillPosition) {
  auto* record = static_cast<ClassRecord*>(AtPosition(classes, classPosition));
  char path[kLineSize] = "";
  if (record == nullptr || !SkillTablePath(record->name, version, path)) return "the tables";
  std::vector<std::string> findings;
  TableLines lines;
  CheckTables(nullptr, classes, &findings, &lines);
  std::string place = path;
  if (static_cast<size_t>(classPosition) < lines.size()) {
    const std::vector<int>& skillLines = lines[classPosition][version].skillLines;
    if (static_cast<size_t>(skillPosition) < skillLines.size()) {
      place += " line " + std::to_string(skillLines[skillPosition]);
    }
  }
  return place;
}

// Why the tables' entry of one side of a refused swap is wrong; "" when it
// is not.
std::string OffsetProblem(RecordList classes, const SkillSelection& selection, bool first,
                          const PlannedSwap& swap, const SkillRecord* skill, int32_t imageSize,
                          const char* dllPath) {
  const char* text = first ? swap.firstOffset : swap.secondOffset;
  uint32_t start = 0;
  if (IsOffsetText(text)) HexToNumber(&start, text);
  bool inside =
      IsOffsetText(text) && static_cast<uint64_t>(start) + static_cast<uint64_t>(swap.length) <=
                                static_cast<uint64_t>(imageSize);
  if (inside) return "";
  std::string place =
      TablePlace(classes, first ? selection.firstClass : selection.secondClass, selection.version,
                 first ? selection.firstSkill : selection.secondSkill);
  std::string what = std::string(swap.aspectName) + " offset \"" + text + "\" of " + skill->name;
  if (!IsOffsetText(text)) return place + ": " + what + " is missing or not upper-case hexadecimal";
  return place + ": " + what + " lies outside " + dllPath + " (" + std::to_string(imageSize) +
         " bytes)";
}

// Runs every planned swap in memory, each DLL loaded once; false when a swap
// was refused. A DLL that cannot be opened logs once per aspect, as a load per
// aspect would. Each aspect's failure goes into its outcome.
bool SwapInMemory(DllPatcher& patcher, RecordList classes, const SkillSelection& selection,
                  const ExchangePlan& plan, HeldImage held[2], AspectOutcome outcomes[3]) {
  bool refused = false;
  for (int i = 0; i < plan.swapCount; ++i) {
    const PlannedSwap& swap = plan.swaps[i];
    HeldImage& dll = held[swap.fileNumber];
    const char* path = patcher.dllPaths[swap.fileNumber];
    if (!dll.tried) {
      dll.tried = true;
      dll.loaded = patcher.LoadFile(swap.fileNumber);
      if (!dll.loaded) dll.error = patcher.lastError;
    } else if (!dll.loaded) {
      logger.Print("* Couldn't open file %s%s", path, LogReason(dll.error).c_str());
    } else {
      PutBack(patcher, &dll, swap.fileNumber);
    }
    if (!dll.loaded) {
      outcomes[i].error = dll.error;
      continue;
    }
    int32_t size = patcher.imageSize;
    if (!patcher.SwapRanges(swap.length, swap.firstOffset, swap.secondOffset)) {
      refused = true;
      std::string problem =
          OffsetProblem(classes, selection, true, swap, plan.firstSkill, size, path);
      if (problem.empty()) {
        problem = OffsetProblem(classes, selection, false, swap, plan.secondSkill, size, path);
      }
      outcomes[i].error = {Problem::kTable, 0, path, problem};
    }
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
  PlanSwaps(plan->firstSkill, plan->secondSkill, selection, plan);
  return 1;
}

void PlanSwaps(const SkillRecord* first, const SkillRecord* second, const SkillSelection& selection,
               ExchangePlan* plan) {
  plan->firstSkill = first;
  plan->secondSkill = second;
  plan->swapCount = 0;
  for (const Aspect& aspect : kAspects) {
    if (!(selection.*aspect.ticked)) continue;
    plan->swaps[plan->swapCount++] = {aspect.fileNumber,
                                      aspect.length,
                                      (plan->firstSkill->*aspect.offsets)[selection.version],
                                      (plan->secondSkill->*aspect.offsets)[selection.version],
                                      aspect.name,
                                      aspect.resultLine};
  }
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

namespace {

// The error text: the first line, one line per ticked aspect, and the lock's
// line when another run holds it.
std::string ComposeErrors(const AspectOutcome* outcomes, int count) {
  std::string text = kErrors;
  bool busy = false;
  for (int i = 0; i < count; ++i) {
    const AspectOutcome& outcome = outcomes[i];
    text += std::string("   ") + outcome.aspectName;
    text += outcome.done ? ": exchanged\n" : ": not exchanged: " + UserReason(outcome.error) + "\n";
    busy = busy || outcome.error.problem == Problem::kBusy;
  }
  if (busy) text += kBusy;
  return text;
}

// Every aspect not done and not yet given a reason gets this one.
void RefuseRest(AspectOutcome* outcomes, int count, const FileError& error) {
  for (int i = 0; i < count; ++i) {
    if (!outcomes[i].done && outcomes[i].error.problem == Problem::kNone) outcomes[i].error = error;
  }
}

// The exchange itself; outcomes are in plan order, which is the ticked
// aspects' order. Returns true when every aspect was done.
bool Exchange(DllPatcher& patcher, RecordList classes, const SkillSelection& selection,
              ExchangePlan* plan, AspectOutcome* outcomes, int count, std::string* warnings) {
  if (!PlanExchange(classes, selection, plan)) {
    RefuseRest(outcomes, count,
               {Problem::kTable, 0, "",
                "no skill in the tables matches this selection (data\\versions.txt, "
                "data\\classes.txt, the skill tables)"});
    return false;
  }
  ChangeLock lock(patcher.dllPaths[kGameDll]);
  if (!lock.Held()) {
    FileError error = lock.Error(patcher.dllPaths[kGameDll]);
    if (lock.State() == LockState::kBusy) {
      logger.Print("* Another Orvanel holds %s: nothing was changed", lock.Path().c_str());
    } else {
      // No lock file can be made where the DLLs are (a folder that is
      // missing or not writable): no DLL there can be changed either.
      for (int i = 0; i < plan->swapCount; ++i) {
        logger.Print("* Couldn't open file %s%s", patcher.dllPaths[plan->swaps[i].fileNumber],
                     LogReason(error).c_str());
      }
    }
    RefuseRest(outcomes, count, error);
    return false;
  }
  for (int fileNumber : {kGameDll, kClientDll}) {
    patcher.changeable[fileNumber] = ChangeableRanges(classes, fileNumber);
  }
  // The wrong DLL for these tables, or a skill the tables cannot give
  // safely: nothing is loaded or written.
  std::string refusal = ExchangeRefusal(patcher, versionList, classes, selection, *plan);
  if (!refusal.empty()) {
    while (!refusal.empty() && refusal.back() == '\n') refusal.pop_back();
    for (size_t at; (at = refusal.find('\n')) != std::string::npos;) refusal.replace(at, 1, "; ");
    RefuseRest(outcomes, count, {Problem::kRefused, 0, "", refusal});
    return false;
  }

  HeldImage held[2];
  if (!SwapInMemory(patcher, classes, selection, *plan, held, outcomes)) {
    RefuseRest(outcomes, count, {Problem::kHeldBack, 0, "", ""});
    return false;
  }
  bool all = true;
  for (int fileNumber : {kGameDll, kClientDll}) {
    if (!held[fileNumber].loaded) continue;
    PutBack(patcher, &held[fileNumber], fileNumber);
    bool saved = patcher.SaveFile(fileNumber);
    for (int i = 0; i < plan->swapCount; ++i) {
      if (plan->swaps[i].fileNumber != fileNumber) continue;
      outcomes[i].done = saved;
      if (!saved) outcomes[i].error = patcher.lastError;
    }
    std::string copy = saved ? ShadowCopyOf(patcher.dllPaths[fileNumber]) : "";
    if (!copy.empty()) *warnings += ShadowCopyWarning(copy, patcher.dllPaths[fileNumber]) + "\n";
  }
  for (int i = 0; i < count; ++i) all = all && outcomes[i].done;
  return all;
}

}  // namespace

int ExchangeSkills(DllPatcher& patcher, RecordList classes, const SkillSelection& selection,
                   std::string* result, std::vector<AspectOutcome>* outcomeList) {
  if (outcomeList != nullptr) outcomeList->clear();
  if (!AnyTicked(selection)) {
    *result = kNoChanges;
    return 1;
  }
  AspectOutcome outcomes[3] = {};
  int count = 0;
  for (const Aspect& aspect : kAspects) {
    if (selection.*aspect.ticked) outcomes[count++].aspectName = aspect.name;
  }
  ExchangePlan plan;
  std::string warnings;
  bool done = Exchange(patcher, classes, selection, &plan, outcomes, count, &warnings);
  if (outcomeList != nullptr) outcomeList->assign(outcomes, outcomes + count);
  if (done) {
    char text[kResultSize];
    ComposeSuccess(plan, text);
    *result = text;
  } else {
    *result = ComposeErrors(outcomes, count);
  }
  *result += warnings;
  return done ? 1 : 0;
}

int ExchangeSkills(DllPatcher& patcher, RecordList classes, const SkillSelection& selection,
                   char result[kResultSize]) {
  std::string text;
  int done = ExchangeSkills(patcher, classes, selection, &text);
  // Whole lines only: a reason is never cut short.
  size_t fits = 0;
  for (size_t end = text.find('\n'); end != std::string::npos && end < kResultSize - 1;
       end = text.find('\n', end + 1)) {
    fits = end + 1;
  }
  if (text.size() < kResultSize) fits = text.size();
  std::memcpy(result, text.data(), fits);
  result[fits] = '\0';
  return done;
}
