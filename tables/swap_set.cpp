#include "tables/swap_set.h"

#include <filesystem>
#include <system_error>

#include "io/file_paths.h"
#include "io/whole_file.h"
#include "tables/record_list.h"

namespace {

const char kJoin[] = "<->";
const char kVersionWord[] = "version";

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string Trimmed(const std::string& text) {
  size_t start = 0;
  size_t end = text.size();
  while (start < end && IsSpace(text[start])) ++start;
  while (end > start && IsSpace(text[end - 1])) --end;
  return text.substr(start, end - start);
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// "CLASS:SKILL"; "" when it is one, else what is wrong.
std::string ReadSkill(const std::string& text, const char* side, SetSkill* skill) {
  if (!SplitClassSkill(text, &skill->className, &skill->skillName)) {
    return std::string("expected CLASS:SKILL as the ") + side + " skill, found " + Quoted(text);
  }
  if (skill->className.empty() || skill->skillName.empty()) {
    return std::string("the ") + side + " skill " + Quoted(text) + " lacks its class or its name";
  }
  return "";
}

// "Effects, Graphics"; "" when every name is an aspect named once.
std::string ReadAspects(const std::string& text, bool aspects[kAspectCount]) {
  size_t start = 0;
  bool any = false;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    std::string name = Trimmed(text.substr(start, comma - start));
    start = comma + 1;
    int found = -1;
    for (int a = 0; a < kAspectCount; ++a) {
      if (SameNameFolded(name, kAspects[a].name, false)) found = a;
    }
    if (found < 0) {
      return "unknown aspect " + Quoted(name) + ": expected Effects, Graphics or Descriptions";
    }
    if (aspects[found]) return std::string(kAspects[found].name) + " is named twice";
    aspects[found] = true;
    any = true;
  }
  return any ? "" : "no aspect after the second skill";
}

// An exchange line; "" when it is one, else what is wrong.
std::string ReadExchange(const std::string& line, SetExchange* exchange) {
  size_t join = line.find(kJoin);
  if (join == std::string::npos) {
    return "expected \"version NAME\" or \"CLASS:SKILL <-> CLASS:SKILL: Aspect, ...\", found " +
           Quoted(line);
  }
  std::string rest = line.substr(join + sizeof kJoin - 1);
  size_t colon = rest.rfind(':');
  if (colon == std::string::npos || rest.find(':') == colon) {
    return "expected \": Aspect, ...\" after the second skill, found " + Quoted(Trimmed(rest));
  }
  std::string problem = ReadSkill(Trimmed(line.substr(0, join)), "first", &exchange->first);
  if (problem.empty())
    problem = ReadSkill(Trimmed(rest.substr(0, colon)), "second", &exchange->second);
  if (problem.empty()) problem = ReadAspects(rest.substr(colon + 1), exchange->aspects);
  return problem;
}

void AppendUtf8(uint32_t code, std::string* text) {
  if (code < 0x80) {
    *text += static_cast<char>(code);
  } else if (code < 0x800) {
    *text += static_cast<char>(0xC0 | (code >> 6));
    *text += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *text += static_cast<char>(0xE0 | (code >> 12));
    *text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *text += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *text += static_cast<char>(0xF0 | (code >> 18));
    *text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *text += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// UTF-16 after its mark as UTF-8; a unit that is no character becomes
// U+FFFD, which no name holds, so its line is refused by name.
std::string Utf16AsUtf8(const std::string& bytes, bool bigEndian) {
  std::string text;
  auto unit = [&](size_t at) {
    auto high = static_cast<unsigned char>(bytes[at + (bigEndian ? 0 : 1)]);
    auto low = static_cast<unsigned char>(bytes[at + (bigEndian ? 1 : 0)]);
    return static_cast<uint32_t>(high << 8 | low);
  };
  for (size_t at = 2; at + 1 < bytes.size(); at += 2) {
    uint32_t code = unit(at);
    if (code >= 0xD800 && code < 0xDC00 && at + 3 < bytes.size() && unit(at + 2) >= 0xDC00 &&
        unit(at + 2) < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
      at += 2;
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    AppendUtf8(code, &text);
  }
  return text;
}

// The text of a set file's bytes, as UTF-8 without a byte-order mark.
std::string DecodedText(const std::string& bytes) {
  auto at = [&](size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0; };
  if (at(0) == 0xFF && at(1) == 0xFE) return Utf16AsUtf8(bytes, false);
  if (at(0) == 0xFE && at(1) == 0xFF) return Utf16AsUtf8(bytes, true);
  if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) return bytes.substr(3);
  return bytes;
}

bool IsVersionLine(const std::string& line) {
  size_t length = sizeof kVersionWord - 1;
  return line.compare(0, length, kVersionWord) == 0 &&
         (line.size() == length || IsSpace(line[length]));
}

}  // namespace

bool SplitClassSkill(const std::string& text, std::string* className, std::string* skillName) {
  size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  *className = Trimmed(text.substr(0, colon));
  *skillName = Trimmed(text.substr(colon + 1));
  return true;
}

FileError ReadSwapSetFile(const char* windowsPath, std::string* bytes) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path path = NativePath(windowsPath);
  fs::file_type type = fs::status(path, error).type();
  FileError refused{Problem::kSetUnreadable, 0, windowsPath, ""};
  if (type == fs::file_type::not_found) {
    refused.detail = "it was not found";
  } else if (type == fs::file_type::directory) {
    refused.detail = "it is a folder, not a swap set file";
  } else if (type != fs::file_type::regular) {
    refused.detail = "it is not a file (a device or a pipe): give a swap set file";
  } else if (fs::file_size(path, error) > kMaxSwapSetFileSize) {
    refused.detail = "it is larger than " + std::to_string(kMaxSwapSetFileSize / 1024 / 1024) +
                     " MiB, which no swap set is";
  } else {
    ByteBuffer read;
    // Read in full only while it stays within the bound.
    if (ReadWholeFile(windowsPath, &read) &&
        static_cast<size_t>(read.size) <= kMaxSwapSetFileSize) {
      bytes->assign(reinterpret_cast<const char*>(read.data.get()), static_cast<size_t>(read.size));
      return FileError();
    }
    refused.detail = "it could not be read whole";
  }
  return refused;
}

namespace {

// Why the set cannot be read: "line 3: what is wrong", the line kept.
FileError LineProblem(int line, const std::string& problem) {
  FileError error{Problem::kSetLine, 0, "", problem};
  error.line = line;
  return error;
}

}  // namespace

FileError ReadSwapSet(const std::string& setBytes, SwapSet* set) {
  *set = SwapSet();
  std::string text = DecodedText(setBytes);
  int number = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = Trimmed(text.substr(start, end - start));
    start = end + 1;
    ++number;
    if (line.empty() || line[0] == '#') continue;
    std::string problem;
    if (IsVersionLine(line)) {
      std::string name = Trimmed(line.substr(sizeof kVersionWord - 1));
      if (set->versionLine > 0) {
        problem =
            "a second version line (the first is line " + std::to_string(set->versionLine) + ")";
      } else if (name.empty()) {
        problem = "the version line names no version";
      }
      set->versionLine = number;
      set->version = name;
    } else {
      SetExchange exchange;
      exchange.line = number;
      problem = ReadExchange(line, &exchange);
      if (problem.empty() && set->versionLine == 0) {
        problem = "an exchange before the version line \"version NAME\"";
      }
      set->exchanges.push_back(exchange);
    }
    if (!problem.empty()) return LineProblem(number, problem);
  }
  if (set->versionLine == 0) return LineProblem(number + 1, "no version line \"version NAME\"");
  return FileError();
}

std::string SetExchangeLine(const SetExchange& exchange) {
  std::string line = exchange.first.className + ":" + exchange.first.skillName + " <-> " +
                     exchange.second.className + ":" + exchange.second.skillName + ":";
  const char* separator = " ";
  for (int a = 0; a < kAspectCount; ++a) {
    if (!exchange.aspects[a]) continue;
    line += separator + std::string(kAspects[a].name);
    separator = ", ";
  }
  return line;
}

std::string SwapSetText(const SwapSet& set) {
  std::string text = std::string(kVersionWord) + " " + set.version + "\n";
  for (const SetExchange& exchange : set.exchanges) text += SetExchangeLine(exchange) + "\n";
  return text;
}
