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

void ForEachSkillRange(RecordList versions, RecordList classes,
                       const std::function<void(const SkillRange&)>& visit) {
  size_t classIndex = 0;
  for (RecordNode* c = classes; c != nullptr; c = c->next, ++classIndex) {
    const auto* record = static_cast<const ClassRecord*>(c);
    for (size_t position = 0; position < record->skillLists.size(); ++position) {
      const VersionFiles& files = FilesOfVersion(versions, static_cast<int32_t>(position));
      size_t skillIndex = 0;
      for (RecordNode* k = record->skillLists[position]; k != nullptr; k = k->next, ++skillIndex) {
        const auto* skill = static_cast<const SkillRecord*>(k);
        for (const Aspect& aspect : kAspects) {
          const char* text = skill->*aspect.offsets;
          if (!IsOffsetText(text)) continue;
          uint32_t start = 0;
          HexToNumber(&start, text);
          visit({record, classIndex, static_cast<int32_t>(position), skill, skillIndex, &aspect,
                 files.FileOf(aspect.dll), start});
        }
      }
    }
  }
}

ByteRanges ChangeableRanges(RecordList versions, RecordList classes, const std::string& fileName) {
  ByteRanges ranges;
  ForEachSkillRange(versions, classes, [&](const SkillRange& range) {
    const VersionFiles& files = FilesOfVersion(versions, range.version);
    if (!SameFileName(files.names[range.fileNumber], fileName)) return;
    ranges.push_back({range.start, static_cast<uint32_t>(range.aspect->length)});
  });
  return ranges;
}
