// LoadVersions on arbitrary bytes: the list must match the simple reading of
// the rules, every name must be a proper text, and the list must free cleanly.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/reference_tables.h"
#include "tables/data_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EnterEmptyScratchFolder();
  WriteScratchFile("data/versions.txt", data, size);
  RecordList versions = LoadVersions("data\\versions.txt");

  std::vector<std::string> expected;
  for (const std::string& line :
       ReferenceRecordLines(std::string(reinterpret_cast<const char*>(data), size))) {
    std::string name = Cut(ReferenceTokens(line)[0], 256);
    std::replace(name.begin(), name.end(), '_', ' ');
    expected.push_back(name);
  }

  size_t index = 0;
  for (RecordNode* node = versions; node != nullptr; node = node->next, ++index) {
    FUZZ_CHECK(index < expected.size());
    FUZZ_CHECK(node->position == static_cast<int32_t>(index));
    FUZZ_CHECK(std::memchr(node->name, '\0', sizeof node->name) != nullptr);
    FUZZ_CHECK(node->name == expected[index]);
    FUZZ_CHECK(node->next == nullptr || node->next->prev == node);
  }
  FUZZ_CHECK(index == expected.size());
  FreeList<VersionRecord>(&versions);
  return 0;
}
