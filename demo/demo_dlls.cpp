#include "demo/demo_dlls.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "demo/demo_exe.h"
#include "tables/data_files.h"

namespace {

const char* const kVersionNames[kDemoVersions] = {"1.09b", "1.09d", "1.14d"};

struct DemoImage {
  const char* fileName;
  std::vector<uint8_t> bytes;
  std::vector<bool> used;
  // No range may start inside the file's header.
  uint32_t headerSize;
};

DemoImage MakeImage(const char* fileName) {
  DemoImage image{fileName, std::vector<uint8_t>(kDemoDllSize, kDemoBackground),
                  std::vector<bool>(kDemoDllSize, false), kDemoHeaderSize};
  std::string header = std::string("MZ") + " Orvanel demo stand-in for " + fileName +
                       ". Not a game file: the demo tables' offsets fit only this file.";
  std::copy(header.begin(), header.end(), image.bytes.begin());
  return image;
}

// Puts the label of one range at the offset the table gives, refusing a
// missing offset, a range outside the file and a range over another one.
bool PlaceRange(DemoImage* image, const char* className, int version, const SkillRecord& skill,
                char aspect, const char* offsetText, uint32_t length, std::string* error) {
  std::string where = std::string(className) + " " + kVersionNames[version] + " \"" + skill.name +
                      "\" (" + aspect + ", " + image->fileName + ")";
  if (offsetText[0] == '\0') {
    *error = where + ": expected an offset, found none";
    return false;
  }
  uint32_t offset = 0;
  HexToNumber(&offset, offsetText);
  uint32_t size = static_cast<uint32_t>(image->bytes.size());
  if (offset < image->headerSize || offset > size - length) {
    *error = where + ": offset " + offsetText + " is outside the file's ranges";
    return false;
  }
  for (uint32_t i = offset; i < offset + length; ++i) {
    if (image->used[i]) {
      *error = where + ": range at " + offsetText + " overlaps another range";
      return false;
    }
    image->used[i] = true;
  }
  std::string label = DemoLabel(aspect, version, skill.name, length);
  std::copy(label.begin(), label.end(), image->bytes.begin() + offset);
  return true;
}

// The three ranges of each skill of version v into the images that keep
// effects and the other two aspects (the same image for a one-file version).
bool PlaceVersion(RecordList classes, int v, DemoImage* effects, DemoImage* client,
                  std::string* error) {
  for (RecordNode* node = classes; node != nullptr; node = node->next) {
    const ClassRecord& record = *static_cast<ClassRecord*>(node);
    for (RecordNode* s = record.SkillsOf(v); s != nullptr; s = s->next) {
      const SkillRecord& skill = *static_cast<SkillRecord*>(s);
      if (!PlaceRange(effects, record.name, v, skill, 'E', skill.effectsOffset, 12, error) ||
          !PlaceRange(client, record.name, v, skill, 'G', skill.graphicsOffset, 20, error) ||
          !PlaceRange(client, record.name, v, skill, 'D', skill.descriptionsOffset, 16, error)) {
        return false;
      }
    }
  }
  return true;
}

bool SaveImage(const DemoImage& image, const std::string& folder, std::string* error) {
  std::string path = (std::filesystem::path(folder) / image.fileName).string();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    *error = "cannot create " + path;
    return false;
  }
  bool written = std::fwrite(image.bytes.data(), 1, image.bytes.size(), file) == image.bytes.size();
  bool closed = std::fclose(file) == 0;
  if (!written || !closed) *error = "cannot write " + path;
  return written && closed;
}

}  // namespace

std::string DemoLabel(char aspect, int version, const char* skillName, uint32_t length) {
  std::string label = std::string(1, aspect) + kDemoVersionTags[version] + ":" + skillName;
  label.resize(length, '.');
  return label;
}

int WriteDemoDlls(RecordList classes, const std::string& folder, std::string* error) {
  DemoImage game = MakeImage("d2game.dll");
  DemoImage client = MakeImage("d2client.dll");
  for (int v = 0; v < kFixedTableVersions; ++v) {
    if (!PlaceVersion(classes, v, &game, &client, error)) return 0;
  }
  return SaveImage(game, folder, error) && SaveImage(client, folder, error) ? 1 : 0;
}

int WriteDemoExe(RecordList classes, const std::string& folder, std::string* error) {
  std::vector<uint8_t> bytes = StandInExe(kDemoExeVersion, kDemoExeBuildTime, kDemoExeSize);
  DemoImage exe{"Game.exe", bytes, std::vector<bool>(bytes.size(), false), kDemoExeHeaderSize};
  int v = kDemoExeVersionPosition;
  for (RecordNode* node = classes; node != nullptr; node = node->next) {
    if (static_cast<ClassRecord*>(node)->SkillsOf(v) == nullptr) {
      *error = std::string(node->name) + " has no " + kVersionNames[v] + " skills to place";
      return 0;
    }
  }
  if (!PlaceVersion(classes, v, &exe, &exe, error)) return 0;
  return SaveImage(exe, folder, error) ? 1 : 0;
}
