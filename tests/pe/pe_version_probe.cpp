// Prints what the PE reader finds in each file, in the form
// scripts/check-pe-version.sh compares with Debian's python3-pefile:
//   PATH version=A.B.C.D time=SECONDS   ("-" for what the file lacks)
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "files/pe_version.h"

int main(int argc, char** argv) {
  for (int a = 1; a < argc; ++a) {
    std::ifstream file(argv[a], std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "pe_version_probe: cannot open %s\n", argv[a]);
      return 1;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
    PeVersion version = ReadPeVersion(bytes.data(), bytes.size());
    std::printf("%s version=%s time=%s\n", argv[a],
                version.hasFileVersion ? FileVersionText(version).c_str() : "-",
                version.hasBuildTime ? std::to_string(version.buildTime).c_str() : "-");
  }
  return 0;
}
