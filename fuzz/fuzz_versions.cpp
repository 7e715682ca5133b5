// LoadVersions on arbitrary bytes: the list must match the simple reading of
// the rules, names, files and fingerprint tokens alike, every name must be a proper
// text, and the list must free cleanly.
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
  std::vector<std::string> lines =
      ReferenceRecordLines(std::string(reinterpret_cast<const char*>(data), size));
  for (const std::string& line : lines) {
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
    const VersionFiles& files = static_cast<VersionRecord*>(node)->files;
    std::vector<std::string> names = ReferenceVersionFiles(lines[index]);
    FUZZ_CHECK(files.count == static_cast<int>(names.size()));
    for (int f = 0; f < files.count; ++f) FUZZ_CHECK(files.names[f] == names[f]);
    for (int dll = 0; dll < kFingerprintDlls; ++dll) {
      const DllFingerprint& loaded = static_cast<VersionRecord*>(node)->fingerprints[dll];
      ReferenceFingerprint reference = ReferenceVersionFingerprint(lines[index], dll);
      FUZZ_CHECK(static_cast<int>(loaded.state) == reference.state);
      FUZZ_CHECK(loaded.size == reference.size && loaded.crc == reference.crc);
    }
    FUZZ_CHECK(node->next == nullptr || node->next->prev == node);
  }
  FUZZ_CHECK(index == expected.size());
  FreeList<VersionRecord>(&versions);
  return 0;
}
