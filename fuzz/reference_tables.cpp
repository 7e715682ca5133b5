#include "fuzz/reference_tables.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace {

const size_t kPieceLength = 254;

bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsEmptyLine(const std::string& piece) {
  return piece[0] == '\n' || piece == "\r" || piece.compare(0, 2, "\r\n") == 0;
}

// Column widths of a skill line after the name: offset, text, offset, ...
const size_t kColumnWidths[6] = {6, 12, 6, 20, 6, 16};

}  // namespace

std::vector<std::string> ReferencePieces(const std::string& content) {
  std::vector<std::string> pieces;
  size_t at = content.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (at < content.size()) {
    size_t lineEnd = content.find('\n', at);
    size_t stop = lineEnd == std::string::npos ? content.size() : lineEnd + 1;
    size_t length = std::min(stop - at, kPieceLength);
    std::string piece = content.substr(at, length);
    at += length;
    // A NUL ends the text the program sees; a piece that starts with one is
    // empty text, which is neither a comment nor a line end, so it is kept.
    piece = piece.substr(0, piece.find('\0'));
    if (!piece.empty() && (piece[0] == '/' || IsEmptyLine(piece))) continue;
    pieces.push_back(piece);
  }
  return pieces;
}

std::vector<std::string> ReferenceTokens(const std::string& line) {
  std::vector<std::string> tokens;
  size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && IsSeparator(line[at])) ++at;
    size_t start = at;
    while (at < line.size() && !IsSeparator(line[at])) ++at;
    if (at > start) tokens.push_back(line.substr(start, at - start));
  }
  return tokens;
}

std::vector<std::string> ReferenceRecordLines(const std::string& content) {
  std::vector<std::string> lines;
  for (const std::string& piece : ReferencePieces(content)) {
    std::vector<std::string> tokens = ReferenceTokens(piece);
    if (tokens.empty()) continue;
    if (tokens[0] == "|") break;
    lines.push_back(piece);
  }
  return lines;
}

std::string Cut(const std::string& text, size_t width) {
  return text.substr(0, width - 1);
}

std::vector<ReferenceSkill> ReferenceSkillTable(const std::string& content) {
  std::vector<ReferenceSkill> skills;
  for (const std::string& line : ReferenceRecordLines(content)) {
    std::vector<std::string> tokens = ReferenceTokens(line);
    tokens.resize(std::max<size_t>(tokens.size(), 7));
    ReferenceSkill skill;
    skill.name = Cut(tokens[0], 256);
    std::replace(skill.name.begin(), skill.name.end(), '_', ' ');
    for (int column = 0; column < 6; ++column) {
      const std::string& token = tokens[column + 1];
      if (column % 2 == 0) {
        // Offsets: a column longer than six characters is left out whole.
        skill.columns[column] =
            token.size() > 6 || token.empty() ? "" : token.substr(0, token.size() - 1);
      } else {
        skill.columns[column] = Cut(token, kColumnWidths[column]);
      }
    }
    skills.push_back(skill);
  }
  return skills;
}

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool IsFilesWord(const std::string& token) {
  return Lower(token).compare(0, 6, "files=") == 0;
}

bool IsPlainName(const std::string& name) {
  static const char* const kDevices[] = {"con", "prn", "aux", "nul"};
  std::string stem = Lower(name.substr(0, name.find('.')));
  bool device = std::find(std::begin(kDevices), std::end(kDevices), stem) != std::end(kDevices) ||
                (stem.size() == 4 && (stem.rfind("com", 0) == 0 || stem.rfind("lpt", 0) == 0) &&
                 stem[3] >= '1' && stem[3] <= '9');
  return !name.empty() && name.size() <= 12 && !device &&
         name.find_first_not_of(
             "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-") ==
             std::string::npos &&
         name.find("..") == std::string::npos && name.find_first_not_of('.') != std::string::npos;
}

}  // namespace

std::vector<std::string> ReferenceVersionFiles(const std::string& line) {
  const std::vector<std::string> defaults = {"d2game.dll", "d2client.dll"};
  std::vector<std::string> tokens = ReferenceTokens(line);
  std::vector<std::string> words;
  for (size_t i = 1; i < tokens.size(); ++i) {
    if (IsFilesWord(tokens[i])) words.push_back(tokens[i]);
  }
  if (words.size() != 1) return defaults;
  std::vector<std::string> names;
  std::string list = words[0].substr(6) + ",";
  for (size_t comma; (comma = list.find(',')) != std::string::npos; list.erase(0, comma + 1)) {
    names.push_back(list.substr(0, comma));
  }
  if (names.size() > 2 || !std::all_of(names.begin(), names.end(), IsPlainName)) return defaults;
  if (names.size() == 2 && Lower(names[0]) == Lower(names[1])) return defaults;
  return names;
}

ReferenceFingerprint ReferenceVersionFingerprint(const std::string& line, int dll) {
  std::vector<std::string> files = ReferenceVersionFiles(line);
  if (dll >= static_cast<int>(files.size())) return ReferenceFingerprint();
  const std::string prefix = Lower(files[dll]) + "=";
  std::vector<std::string> tokens = ReferenceTokens(line);
  ReferenceFingerprint found;
  for (size_t i = 1; i < tokens.size(); ++i) {
    if (IsFilesWord(tokens[i])) continue;
    std::string lower = Lower(tokens[i]);
    // A word that mentions a file (its name up to the first dot) is meant
    // for it, the first file first.
    int meantFor = -1;
    for (size_t f = 0; f < files.size() && meantFor < 0; ++f) {
      std::string name = Lower(files[f]);
      size_t dot = name.find('.');
      if (lower.find(name.substr(0, dot == 0 ? std::string::npos : dot)) != std::string::npos) {
        meantFor = static_cast<int>(f);
      }
    }
    if (meantFor != dll) continue;
    bool named = lower.compare(0, prefix.size(), prefix) == 0;
    std::string value = named ? tokens[i].substr(prefix.size()) : "";
    size_t colon = value.find(':');
    std::string size = colon == std::string::npos ? "" : value.substr(0, colon);
    std::string crc = colon == std::string::npos ? "" : value.substr(colon + 1);
    bool wellFormed = named && !size.empty() && size.size() <= 19 && crc.size() == 8 &&
                      size.find_first_not_of("0123456789") == std::string::npos &&
                      crc.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    if (found.state != 0 || !wellFormed) {
      found = ReferenceFingerprint();
      found.state = 2;
      continue;
    }
    found.state = 1;
    found.size = std::stoull(size);
    found.crc = std::stoul(crc, nullptr, 16);
  }
  return found;
}
