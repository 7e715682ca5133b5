#include "tables/aspects.h"

#include <cstdio>

const Aspect kAspects[kAspectCount] = {
    {"Effects", 0, 12, &SkillRecord::effectsOffset, 1, "   Effects\n"},
    {"Graphics", 1, 20, &SkillRecord::graphicsOffset, 3, "   Graphics\n"},
    {"Descriptions", 1, 16, &SkillRecord::descriptionsOffset, 5, "   Descriptions\n"},
};

bool RangeInside(const char* offsetText, int32_t length, uint64_t fileSize, uint32_t* start) {
  if (!IsOffsetText(offsetText) || length < 1) return false;
  uint32_t value = 0;
  HexToNumber(&value, offsetText);
  if (start != nullptr) *start = value;
  return static_cast<uint64_t>(value) + static_cast<uint64_t>(length) <= fileSize;
}

std::string HexOffset(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

std::string HexRange(uint64_t first, uint64_t last) {
  return HexOffset(first) + ".." + HexOffset(last);
}
