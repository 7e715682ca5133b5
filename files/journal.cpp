// The journal's text:
//   Orvanel journal 1
//   change: Jab <-> Fire Bolt (Effects, Graphics)
//   file: d2game.dll
//   before: 00100000 05D16C80        (size and CRC-32, hexadecimal; or "absent")
//   after: 00100000 1A2B3C4D
//   range: 00021080 45623A4A... 45623A46...   (start, old bytes, new bytes)
//   checksum: 9F00AB12                 (CRC-32 of every byte before this line)
#include "files/journal.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "files/backup.h"
#include "io/file_paths.h"

namespace {

const char kFirstLine[] = "Orvanel journal 1";
// Equal bytes between two differences up to which one range takes both.
constexpr size_t kJoinGap = 16;
// A range line is "range: " (7), its start (8), two blanks, the newline and two
// hex digits per byte for before and for after: at most 22 characters a byte,
// as every range holds at least one byte.
constexpr uint64_t kTextPerByte = 7 + 8 + 3 + 4;
// The lines besides the ranges: the first, the change (a set's many exchanges
// named), the checksum, and per DLL its name, before and after.
constexpr uint64_t kOtherText = 64 * 1024;

std::string Hex8(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
  return text;
}

std::string HexBytes(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

bool ParseHex8(const std::string& text, uint32_t* value) {
  if (text.size() != 8) return false;
  uint32_t result = 0;
  for (char c : text) {
    int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (digit < 0) return false;
    result = result << 4 | static_cast<uint32_t>(digit);
  }
  *value = result;
  return true;
}

bool ParseHexBytes(const std::string& text, std::vector<uint8_t>* bytes) {
  if (text.empty() || text.size() % 2 != 0) return false;
  bytes->clear();
  for (size_t at = 0; at < text.size(); at += 2) {
    uint32_t value = 0;
    if (!ParseHex8("000000" + text.substr(at, 2), &value)) return false;
    bytes->push_back(static_cast<uint8_t>(value));
  }
  return true;
}

std::string SizeAndCrc(bool absent, uint32_t size, uint32_t crc) {
  return absent ? "absent" : Hex8(size) + " " + Hex8(crc);
}

// "SIZE CRC" (or "absent" where allowed) into its values.
bool ParseSizeAndCrc(const std::string& text, bool absentAllowed, bool* absent, uint32_t* size,
                     uint32_t* crc) {
  *absent = absentAllowed && text == "absent";
  if (*absent) return true;
  return text.size() == 17 && text[8] == ' ' && ParseHex8(text.substr(0, 8), size) &&
         ParseHex8(text.substr(9), crc);
}

// Splits text into lines, each ending in '\n'; false when the last does not.
bool SplitLines(const std::string& text, std::vector<std::string>* lines) {
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines->push_back(text.substr(start, end - start));
  }
  return start == text.size();
}

bool StartsWith(const std::string& line, const char* key, std::string* rest) {
  size_t length = std::strlen(key);
  if (line.compare(0, length, key) != 0) return false;
  *rest = line.substr(length);
  return true;
}

// "START BEFORE AFTER" of a range line, inside a file of size bytes.
bool ParseRange(const std::string& text, uint32_t size, JournalRange* range) {
  size_t blank = text.find(' ', 9);
  return text.size() > 9 && text[8] == ' ' && ParseHex8(text.substr(0, 8), &range->start) &&
         blank != std::string::npos && ParseHexBytes(text.substr(9, blank - 9), &range->before) &&
         ParseHexBytes(text.substr(blank + 1), &range->after) &&
         range->before.size() == range->after.size() &&
         static_cast<uint64_t>(range->start) + range->before.size() <= size;
}

// Reads the lines after the first, up to the checksum line: 0 when they make
// a journal, else the index of the first line that does not fit.
size_t ReadBody(const std::vector<std::string>& lines, Journal* journal) {
  const size_t checksumLine = lines.size() - 1;
  std::string rest;
  size_t at = 1;
  if (at >= checksumLine || !StartsWith(lines[at], "change: ", &rest)) return at;
  journal->change = rest;
  for (++at; at < checksumLine;) {
    JournalFile file;
    bool absentAfter = false;
    if (!StartsWith(lines[at], "file: ", &file.name) || file.name.empty()) return at;
    if (++at >= checksumLine || !StartsWith(lines[at], "before: ", &rest) ||
        !ParseSizeAndCrc(rest, true, &file.absentBefore, &file.sizeBefore, &file.crcBefore)) {
      return at;
    }
    if (++at >= checksumLine || !StartsWith(lines[at], "after: ", &rest) ||
        !ParseSizeAndCrc(rest, false, &absentAfter, &file.sizeAfter, &file.crcAfter)) {
      return at;
    }
    for (++at; at < checksumLine && StartsWith(lines[at], "range: ", &rest); ++at) {
      JournalRange range;
      if (!ParseRange(rest, file.sizeAfter, &range)) return at;
      file.ranges.push_back(std::move(range));
    }
    journal->files.push_back(std::move(file));
  }
  return journal->files.empty() ? at : 0;
}

}  // namespace

uint32_t ImageCrc(const uint8_t* bytes, size_t size) {
  uLong crc = crc32(0L, Z_NULL, 0);
  // zlib takes a uInt length: feed more than that in parts.
  constexpr size_t kPart = 1u << 30;
  for (size_t at = 0; at < size; at += kPart) {
    size_t length = size - at < kPart ? size - at : kPart;
    crc = crc32(crc, bytes + at, static_cast<uInt>(length));
  }
  return static_cast<uint32_t>(crc);
}

bool CrcWithRanges(uint32_t crcBefore, size_t size, const std::vector<JournalRange>& ranges,
                   uint32_t* crcAfter) {
  std::vector<std::pair<uint64_t, uint64_t>> spans;
  for (const JournalRange& range : ranges) {
    spans.emplace_back(range.start, range.start + static_cast<uint64_t>(range.before.size()));
  }
  std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i) {
    if (spans[i].first < spans[i - 1].second) return false;
  }
  // For equal lengths crc(a) ^ crc(b) ^ crc(c) == crc(a ^ b ^ c): each range
  // adds the CRC of its difference, less that of as many zeros, carried
  // past the bytes that follow it.
  uint32_t crc = crcBefore;
  for (const JournalRange& range : ranges) {
    std::vector<uint8_t> difference(range.before.size());
    for (size_t i = 0; i < difference.size(); ++i) difference[i] = range.before[i] ^ range.after[i];
    uint32_t ofDifference = ImageCrc(difference.data(), difference.size());
    std::fill(difference.begin(), difference.end(), 0);
    uint32_t ofZeros = ImageCrc(difference.data(), difference.size());
    size_t following = size - range.start - range.before.size();
    crc ^= static_cast<uint32_t>(
        crc32_combine(ofDifference ^ ofZeros, 0, static_cast<z_off_t>(following)));
  }
  *crcAfter = crc;
  return true;
}

std::vector<JournalRange> DifferingRanges(const uint8_t* before, const uint8_t* after,
                                          size_t size) {
  std::vector<JournalRange> ranges;
  constexpr size_t kBlock = 4096;
  for (size_t at = 0; at < size;) {
    // Whole equal blocks are passed by memcmp: most of a DLL is unchanged.
    size_t block = std::min(kBlock, size - at);
    if (std::memcmp(before + at, after + at, block) == 0) {
      at += block;
      continue;
    }
    while (before[at] == after[at]) ++at;  // a difference lies in this block
    size_t end = at + 1, equal = 0;
    for (size_t next = end; next < size && equal <= kJoinGap; ++next) {
      equal = before[next] == after[next] ? equal + 1 : 0;
      if (equal == 0) end = next + 1;
    }
    ranges.push_back(
        {static_cast<uint32_t>(at), {before + at, before + end}, {after + at, after + end}});
    at = end;
  }
  return ranges;
}

bool DescribeWrite(const std::string& name, const uint8_t* before, size_t beforeSize,
                   const uint8_t* after, size_t afterSize, JournalFile* file) {
  *file = JournalFile();
  file->name = name;
  file->absentBefore = before == nullptr;
  file->sizeAfter = static_cast<uint32_t>(afterSize);
  if (file->absentBefore) {
    file->crcAfter = ImageCrc(after, afterSize);
    return true;
  }
  if (beforeSize != afterSize) return false;
  file->sizeBefore = static_cast<uint32_t>(beforeSize);
  file->crcBefore = ImageCrc(before, beforeSize);
  file->ranges = DifferingRanges(before, after, afterSize);
  // The ranges found this way never overlap.
  return CrcWithRanges(file->crcBefore, afterSize, file->ranges, &file->crcAfter);
}

std::string JournalText(const Journal& journal) {
  std::string text = std::string(kFirstLine) + "\nchange: " + journal.change + "\n";
  for (const JournalFile& file : journal.files) {
    text += "file: " + file.name + "\n";
    text += "before: " + SizeAndCrc(file.absentBefore, file.sizeBefore, file.crcBefore) + "\n";
    text += "after: " + SizeAndCrc(false, file.sizeAfter, file.crcAfter) + "\n";
    for (const JournalRange& range : file.ranges) {
      text += "range: " + Hex8(range.start) + " " + HexBytes(range.before) + " " +
              HexBytes(range.after) + "\n";
    }
  }
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text.data());
  return text + "checksum: " + Hex8(ImageCrc(bytes, text.size())) + "\n";
}

namespace {

// Why text is no journal JournalText made; "" when it is one.
std::string JournalTextProblem(const std::string& text, Journal* journal) {
  std::vector<std::string> lines;
  if (!SplitLines(text, &lines) || lines.size() < 2) return "it is cut short";
  if (lines[0] != kFirstLine) return std::string("line 1: expected \"") + kFirstLine + "\"";
  std::string stated;
  uint32_t checksum = 0;
  size_t body = text.size() - lines.back().size() - 1;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text.data());
  if (!StartsWith(lines.back(), "checksum: ", &stated) || !ParseHex8(stated, &checksum)) {
    return "line " + std::to_string(lines.size()) + ": expected its checksum";
  }
  if (checksum != ImageCrc(bytes, body)) {
    return "its checksum " + stated + " does not match its text (" + Hex8(ImageCrc(bytes, body)) +
           ")";
  }
  size_t bad = ReadBody(lines, journal);
  return bad != 0 ? "line " + std::to_string(bad + 1) + " is not a journal line" : "";
}

}  // namespace

FileError ReadJournalText(const std::string& text, Journal* journal) {
  *journal = Journal();
  std::string problem = JournalTextProblem(text, journal);
  if (problem.empty()) return FileError();
  *journal = Journal();
  return {Problem::kJournalDamaged, 0, "", problem};
}

namespace {

using Spans = std::vector<std::pair<size_t, size_t>>;

// The range bytes a change inside spans can journal: DifferingRanges starts
// and ends a range at a changed byte and joins only changes at most kJoinGap
// equal bytes apart, so its ranges hold the changeable bytes and at most
// kJoinGap bytes past each changeable interval.
uint64_t MostRangeBytes(const Spans& spans) {
  uint64_t bytes = 0;
  for (const auto& span : spans) bytes += span.second - span.first + kJoinGap;
  return bytes;
}

bool Inside(const Spans& spans, size_t at) {
  auto after = std::upper_bound(spans.begin(), spans.end(), std::make_pair(at, SIZE_MAX));
  return after != spans.begin() && at < (after - 1)->second;
}

}  // namespace

FileError RangesOutside(const JournalFile& file, const ByteRanges& changeable) {
  Spans spans = MergedRanges(changeable);
  Spans taken;
  uint64_t bytes = 0;
  for (const JournalRange& range : file.ranges) {
    taken.emplace_back(range.start, range.start + range.before.size());
    bytes += range.before.size();
    for (size_t i = 0; i < range.before.size(); ++i) {
      if (range.before[i] != range.after[i] && !Inside(spans, range.start + i)) {
        FileError untabled{Problem::kJournalUntabledByte, 0, file.name, ""};
        untabled.found = Hex8(static_cast<uint32_t>(range.start + i));
        return untabled;
      }
    }
  }
  std::sort(taken.begin(), taken.end());
  for (size_t i = 1; i < taken.size(); ++i) {
    if (taken[i].first < taken[i - 1].second) return {Problem::kJournalOverlap, 0, file.name, ""};
  }
  if (bytes > MostRangeBytes(spans)) return {Problem::kJournalTooMuch, 0, file.name, ""};
  return FileError();
}

uint64_t LongestJournal(const ByteRanges changeable[2]) {
  uint64_t bytes =
      MostRangeBytes(MergedRanges(changeable[0])) + MostRangeBytes(MergedRanges(changeable[1]));
  return kOtherText + kTextPerByte * bytes;
}

std::string JournalPath(const char* dllPath) {
  return FolderPartOf(dllPath) + "orvanel.journal";
}

FileError WriteJournal(SaveSteps& steps, const std::string& path, const Journal& journal) {
  std::string text = JournalText(journal);
  FileError error = SaveBytes(steps, reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                              path.c_str(), false);
  // In place for good before the first DLL is replaced: else a power cut
  // could keep that DLL and lose the journal that undoes it.
  if (!error.Failed() && !steps.FlushFolder(path.c_str())) {
    error = SystemFileError(path, "could not be written");
    error.step = SaveStep::kWrite;
  }
  return error;
}
