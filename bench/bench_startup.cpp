// Times the start-up loading of the tables: 100 classes with 256 skills in
// each of their two skill tables, plus the versions file.
//   bench_startup FOLDER RUNS
// Writes FOLDER/data (lines end in CR LF, as Windows editors write them),
// then loads and frees the tables RUNS times from the warm file cache.
//   bench_startup --write FOLDER CLASSES SKILLS
// Only writes FOLDER/data, with SKILLS skills in each table of CLASSES
// classes, for timing whole orvanel-cli processes on it.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "patch/logger.h"
#include "tables/data_files.h"
#include "tables/record_list.h"

Logger logger;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kClasses = 100;
constexpr int kSkills = 256;

std::string ClassName(int index) {
  char name[32];
  std::snprintf(name, sizeof name, "Class_%03d", index);
  return name;
}

// Returns the number of bytes written.
long long WriteTables(const fs::path& data, int classCount, int skillCount) {
  fs::create_directories(data);
  long long bytes = 0;
  auto write = [&bytes](const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    bytes += static_cast<long long>(text.size());
  };
  write(data / "versions.txt", "// versions\r\n1.09b\r\n1.09d\r\n|\r\n");
  std::string classes = "// classes\r\n";
  for (int c = 0; c < classCount; ++c) classes += ClassName(c) + "\r\n";
  write(data / "classes.txt", classes + "|\r\n");
  for (int c = 0; c < classCount; ++c) {
    for (const char* suffix : {" 109b.txt", " 109d.txt"}) {
      std::string table = "// skills of " + ClassName(c) + "\r\n";
      for (int s = 0; s < skillCount; ++s) {
        char line[160];
        unsigned offset = 0x1000 + static_cast<unsigned>(c * skillCount + s) * 0x40;
        std::snprintf(
            line, sizeof line, "Skill_%03d_%03d\t%05Xh\tfx%d\t%05Xh\tgfx%d\t%05Xh\tdesc%d\r\n", c,
            s, offset & 0xFFFFF, s, (offset + 0x10) & 0xFFFFF, s, (offset + 0x20) & 0xFFFFF, s);
        table += line;
      }
      write(data / (ClassName(c) + suffix), table + "|\r\n");
    }
  }
  return bytes;
}

int CountSkills() {
  int count = 0;
  for (RecordNode* c = classList; c != nullptr; c = c->next) {
    for (RecordNode* s : static_cast<ClassRecord*>(c)->skillLists) {
      for (; s != nullptr; s = s->next) ++count;
    }
  }
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--write") {
    int classCount = std::max(1, std::atoi(argv[3]));
    int skillCount = std::max(1, std::atoi(argv[4]));
    long long bytes = WriteTables(fs::absolute(argv[2]) / "data", classCount, skillCount);
    std::printf("%d skill records in %d classes, %lld bytes\n", 2 * classCount * skillCount,
                classCount, bytes);
    return 0;
  }
  if (argc != 3) {
    std::fprintf(stderr,
                 "usage: bench_startup FOLDER RUNS\n"
                 "       bench_startup --write FOLDER CLASSES SKILLS\n");
    return 2;
  }
  fs::path folder = fs::absolute(argv[1]);
  int runs = std::max(1, std::atoi(argv[2]));
  long long bytes = WriteTables(folder / "data", kClasses, kSkills);
  fs::current_path(folder);

  std::vector<double> load;
  std::vector<double> release;
  int skills = 0;
  for (int run = 0; run < runs; ++run) {
    Clock::time_point start = Clock::now();
    if (!LoadClasses()) {
      std::fprintf(stderr, "bench_startup: expected data/classes.txt in %s\n", folder.c_str());
      return 1;
    }
    versionList = LoadVersions("data\\versions.txt");
    Clock::time_point loaded = Clock::now();
    skills = CountSkills();
    Clock::time_point counted = Clock::now();
    FreeDataTables();
    Clock::time_point freed = Clock::now();
    load.push_back(std::chrono::duration<double, std::milli>(loaded - start).count());
    release.push_back(std::chrono::duration<double, std::milli>(freed - counted).count());
  }
  std::sort(load.begin(), load.end());
  std::sort(release.begin(), release.end());
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("tables: %d classes, %d skill records from %d files, %lld bytes; %d runs\n", kClasses,
              skills, 2 * kClasses + 2, bytes, runs);
  std::printf("load (median): %.2f ms (min %.2f, max %.2f)\n", load[load.size() / 2], load.front(),
              load.back());
  std::printf("free (median): %.2f ms\n", release[release.size() / 2]);
  std::printf("peak resident memory of the process: %ld KiB\n", usage.ru_maxrss);
  return 0;
}
