#include "sets/set_state.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "tables/aspects.h"
#include "tables/data_files.h"
#include "tables/exchange_plan.h"

namespace {

// One skill's range of an aspect; a range the tables name twice counts
// once, under its first skill.
struct Slot {
  SetSkill skill;
  uint32_t start;
};

std::vector<Slot> SlotsOf(RecordList versions, RecordList classes, int32_t version,
                          const Aspect& aspect, uint64_t size) {
  std::vector<Slot> slots;
  const ClassRecord* record = nullptr;
  const RecordNode* shown = nullptr;  // the skill box's entry, walked alongside
  ForEachSkillRange(versions, classes, [&](const SkillRange& range) {
    if (range.version != version || range.aspect != &aspect) return;
    if (range.classRecord != record) {
      record = range.classRecord;
      shown = record->SkillsOf(0);
    }
    const SkillRecord* k = range.skill;
    while (shown != nullptr && shown->position < k->position) shown = shown->next;
    if (static_cast<uint64_t>(range.start) + static_cast<uint64_t>(aspect.length) > size) return;
    bool seen = false;
    for (const Slot& slot : slots) seen = seen || slot.start == range.start;
    const char* name = shown != nullptr && shown->position == k->position ? shown->name : k->name;
    if (!seen) slots.push_back({{record->name, name}, range.start});
  });
  return slots;
}

std::string SkillText(const SetSkill& skill) {
  return skill.className + ":" + skill.skillName;
}

// Adds the exchange of slots a and b for aspect to exchanges: to the first
// line after `after` that pairs the same skills without this aspect yet,
// else as a new line. Returns the line's index.
size_t AddExchange(const Slot& a, const Slot& b, int aspect, size_t after,
                   std::vector<SetExchange>* exchanges) {
  for (size_t i = after; i < exchanges->size(); ++i) {
    SetExchange& line = (*exchanges)[i];
    if (SkillText(line.first) == SkillText(a.skill) &&
        SkillText(line.second) == SkillText(b.skill) && !line.aspects[aspect]) {
      line.aspects[aspect] = true;
      return i;
    }
  }
  SetExchange line;
  line.first = a.skill;
  line.second = b.skill;
  line.aspects[aspect] = true;
  exchanges->push_back(line);
  return exchanges->size() - 1;
}

// The exchanges of one aspect, added in an order that keeps each chain's
// own order, and the ranges they do not explain.
void DescribeAspect(const std::vector<Slot>& slots, int aspect, const std::string& fileName,
                    const ByteBuffer& now, const ByteBuffer& was, SetState* state) {
  const Aspect& info = kAspects[aspect];
  size_t length = static_cast<size_t>(info.length);
  auto same = [&](const ByteBuffer& a, uint32_t atA, const ByteBuffer& b, uint32_t atB) {
    return std::memcmp(a.data.get() + atA, b.data.get() + atB, length) == 0;
  };
  size_t count = slots.size();
  // holds[i]: the slot whose original slot i holds; -1 when none.
  std::vector<long> holds(count, -1);
  std::vector<bool> given(count, false);
  for (size_t i = 0; i < count; ++i) {
    if (same(now, slots[i].start, was, slots[i].start)) {
      holds[i] = static_cast<long>(i);
      given[i] = true;
    }
  }
  for (size_t i = 0; i < count; ++i) {
    for (size_t j = 0; holds[i] < 0 && j < count; ++j) {
      if (!given[j] && j != i && same(now, slots[i].start, was, slots[j].start)) {
        holds[i] = static_cast<long>(j);
        given[j] = true;
      }
    }
  }
  std::vector<bool> visited(count, false);
  size_t after = 0;
  for (size_t i = 0; i < count; ++i) {
    if (visited[i] || holds[i] == static_cast<long>(i)) continue;
    std::vector<size_t> chain{i};
    visited[i] = true;
    long next = holds[i];
    while (next >= 0 && static_cast<size_t>(next) != i && !visited[next]) {
      chain.push_back(static_cast<size_t>(next));
      visited[next] = true;
      next = holds[next];
    }
    if (next >= 0 && static_cast<size_t>(next) == i) {
      // Exchanging each slot of the cycle with the next, in turn, gives it.
      for (size_t k = 0; k + 1 < chain.size(); ++k) {
        // Each pair is written in table order, as the lists show the skills.
        size_t first = std::min(chain[k], chain[k + 1]);
        size_t second = std::max(chain[k], chain[k + 1]);
        after = AddExchange(slots[first], slots[second], aspect, after, &state->exchanges) + 1;
      }
      continue;
    }
    for (size_t k : chain) {
      uint32_t start = slots[k].start;
      state->foreign.push_back(
          SkillText(slots[k].skill) + ": " + info.name + " changed by something else (" + fileName +
          " bytes " + HexRange(start, start + static_cast<uint32_t>(info.length) - 1) + ")");
    }
  }
}

}  // namespace

SetState StateAsExchanges(RecordList versions, RecordList classes, int32_t version,
                          const ByteBuffer* const now[2], const ByteBuffer* const original[2]) {
  SetState state;
  const VersionFiles& files = FilesOfVersion(versions, version);
  std::vector<bool> inRange[2];  // by byte: inside a range of these tables
  for (int aspect = 0; aspect < kAspectCount; ++aspect) {
    int dll = files.FileOf(kAspects[aspect].dll);
    if (now[dll] == nullptr || original[dll] == nullptr) continue;
    uint64_t size = static_cast<uint64_t>(
        now[dll]->size < original[dll]->size ? now[dll]->size : original[dll]->size);
    std::vector<Slot> slots = SlotsOf(versions, classes, version, kAspects[aspect], size);
    inRange[dll].resize(static_cast<size_t>(size));
    for (const Slot& slot : slots) {
      std::fill_n(inRange[dll].begin() + slot.start, kAspects[aspect].length, true);
    }
    DescribeAspect(slots, aspect, files.names[dll], *now[dll], *original[dll], &state);
  }
  for (int dll = 0; dll < 2; ++dll) {
    if (now[dll] == nullptr || original[dll] == nullptr) continue;
    if (now[dll]->size != original[dll]->size) state.changedOutside = true;
    size_t size = static_cast<size_t>(std::min(now[dll]->size, original[dll]->size));
    inRange[dll].resize(size);
    for (size_t i = 0; i < size && !state.changedOutside; ++i) {
      state.changedOutside = !inRange[dll][i] && now[dll]->data[i] != original[dll]->data[i];
    }
  }
  return state;
}

std::string SetVersionName(RecordList versions, int32_t position) {
  const RecordNode* version = AtPosition(versions, position);
  return version != nullptr ? version->name : std::to_string(position);
}
