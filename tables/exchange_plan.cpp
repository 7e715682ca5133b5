#include "tables/exchange_plan.h"

namespace {

const SkillRecord* FindSkill(RecordList classes, int32_t classPosition, int32_t version,
                             int32_t skillPosition) {
  auto* record = static_cast<ClassRecord*>(AtPosition(classes, classPosition));
  if (record == nullptr) return nullptr;
  return static_cast<const SkillRecord*>(AtPosition(record->SkillsOf(version), skillPosition));
}

const VersionFiles kDefaultFiles;

}  // namespace

const VersionFiles& FilesOfVersion(RecordList versions, int32_t position) {
  auto* version = static_cast<const VersionRecord*>(AtPosition(versions, position));
  return version != nullptr ? version->files : kDefaultFiles;
}

bool SkillSelection::Ticked(int aspect) const {
  return aspect >= 0 && aspect < kAspectCount && ticked[aspect];
}

bool SkillSelection::AnyTicked() const {
  for (bool one : ticked) {
    if (one) return true;
  }
  return false;
}

int PlanExchange(RecordList versions, RecordList classes, const SkillSelection& selection,
                 ExchangePlan* plan) {
  *plan = ExchangePlan();
  const SkillRecord* first =
      FindSkill(classes, selection.firstClass, selection.version, selection.firstSkill);
  const SkillRecord* second =
      FindSkill(classes, selection.secondClass, selection.version, selection.secondSkill);
  if (first == nullptr || second == nullptr) return 0;
  PlanSwaps(first, second, selection, FilesOfVersion(versions, selection.version), plan);
  return 1;
}

void PlanSwaps(const SkillRecord* first, const SkillRecord* second, const SkillSelection& selection,
               const VersionFiles& files, ExchangePlan* plan) {
  plan->firstSkill = first;
  plan->secondSkill = second;
  plan->swapCount = 0;
  for (int a = 0; a < kAspectCount; ++a) {
    if (!selection.Ticked(a)) continue;
    const Aspect& aspect = kAspects[a];
    plan->swaps[plan->swapCount++] = {
        files.FileOf(aspect.dll), aspect.length, first->*aspect.offsets,
        second->*aspect.offsets,  aspect.name,   aspect.resultLine};
  }
}

ByteRanges ChangeableRanges(RecordList versions, RecordList classes, const std::string& fileName) {
  ByteRanges ranges;
  for (RecordNode* c = classes; c != nullptr; c = c->next) {
    const std::vector<RecordList>& lists = static_cast<ClassRecord*>(c)->skillLists;
    for (size_t position = 0; position < lists.size(); ++position) {
      const VersionFiles& files = FilesOfVersion(versions, static_cast<int32_t>(position));
      int fileNumber = files.IndexOf(fileName);
      if (fileNumber < 0) continue;
      for (RecordNode* k = lists[position]; k != nullptr; k = k->next) {
        for (const Aspect& aspect : kAspects) {
          const char* text = static_cast<SkillRecord*>(k)->*aspect.offsets;
          if (files.FileOf(aspect.dll) != fileNumber || !IsOffsetText(text)) continue;
          uint32_t start = 0;
          HexToNumber(&start, text);
          ranges.push_back({start, static_cast<uint32_t>(aspect.length)});
        }
      }
    }
  }
  return ranges;
}
