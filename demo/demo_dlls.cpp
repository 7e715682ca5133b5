#include "demo/demo_dlls.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "tables/data_files.h"

namespace {

const char* const kVersionNames[2] = {"1.09b", "1.09d"};

struct DemoImage {
  const char* fileName;
  std::vector<uint8_t> bytes;
  std::vector<bool> used;
};

DemoImage MakeImage(const char* fileName) {
  DemoImage image{fileName, std::vector<uint8_t>(kDemoDllSize, kDemoBackground),
                  std::vector<bool>(kDemoDllSize, false)};
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
  if (offset < kDemoHeaderSize || offset > kDemoDllSize - length) {
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
  for (RecordNode* node = classes; node != nullptr; node = node->next) {
    const ClassRecord& record = *static_cast<ClassRecord*>(node);
    for (int v = 0; v < kFixedTableVersions; ++v) {
      for (RecordNode* s = record.SkillsOf(v); s != nullptr; s = s->next) {
        const SkillRecord& skill = *static_cast<SkillRecord*>(s);
        if (!PlaceRange(&game, record.name, v, skill, 'E', skill.effectsOffset, 12, error) ||
            !PlaceRange(&client, record.name, v, skill, 'G', skill.graphicsOffset, 20, error) ||
            !PlaceRange(&client, record.name, v, skill, 'D', skill.descriptionsOffset, 16,
                        error)) {
          return 0;
        }
      }
    }
  }
  return SaveImage(game, folder, error) && SaveImage(client, folder, error) ? 1 : 0;
}
