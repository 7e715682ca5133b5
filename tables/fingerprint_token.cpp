#include "tables/fingerprint_token.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

const char* const kFingerprintDllNames[kFingerprintDlls] = {"d2game.dll", "d2client.dll"};

namespace {

// Enough for any size a file system can hold, and never an overflow.
constexpr size_t kMaxSizeDigits = 19;
constexpr size_t kCrcDigits = 8;

bool StartsWithFolded(const char* text, const char* prefix) {
  for (; *prefix != '\0'; ++text, ++prefix) {
    if (std::tolower(static_cast<unsigned char>(*text)) != *prefix) return false;
  }
  return true;
}

bool MentionsFolded(const char* text, const char* part) {
  for (; *text != '\0'; ++text) {
    if (StartsWithFolded(text, part)) return true;
  }
  return false;
}

const char* ParseValue(const char* text, DllFingerprint* fingerprint) {
  const char* colon = std::strchr(text, ':');
  if (colon == nullptr) return "expected SIZE:CRC after '='";
  size_t sizeDigits = static_cast<size_t>(colon - text);
  if (sizeDigits == 0 || sizeDigits > kMaxSizeDigits) return "SIZE must be 1 to 19 decimal digits";
  uint64_t size = 0;
  for (const char* c = text; c < colon; ++c) {
    if (!std::isdigit(static_cast<unsigned char>(*c))) return "SIZE must be decimal digits";
    size = size * 10 + static_cast<uint64_t>(*c - '0');
  }
  const char* crc = colon + 1;
  if (std::strlen(crc) != kCrcDigits) return "CRC must be exactly 8 hexadecimal digits";
  uint32_t value = 0;
  for (const char* c = crc; *c != '\0'; ++c) {
    int digit = std::isdigit(static_cast<unsigned char>(*c)) ? *c - '0'
                : std::isxdigit(static_cast<unsigned char>(*c))
                    ? std::tolower(static_cast<unsigned char>(*c)) - 'a' + 10
                    : -1;
    if (digit < 0) return "CRC must be exactly 8 hexadecimal digits";
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  fingerprint->size = size;
  fingerprint->crc = value;
  return nullptr;
}

}  // namespace

int ParseFingerprintToken(const char* word, DllFingerprint* fingerprint) {
  const std::string names[kFingerprintDlls] = {kFingerprintDllNames[0], kFingerprintDllNames[1]};
  return ParseFingerprintToken(word, names, kFingerprintDlls, fingerprint);
}

int ParseFingerprintToken(const char* word, const std::string* names, int count,
                          DllFingerprint* fingerprint) {
  for (int dll = 0; dll < count; ++dll) {
    std::string folded = names[dll];
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const char* name = folded.c_str();
    size_t length = folded.size();
    // "d2game" of "d2game.dll": a word that mentions a DLL is meant for it.
    size_t dot = folded.find('.');
    if (!MentionsFolded(word, folded.substr(0, dot == 0 ? std::string::npos : dot).c_str())) {
      continue;
    }
    *fingerprint = DllFingerprint();
    const char* problem = nullptr;
    if (StartsWithFolded(word, name) && word[length] == '=') {
      problem = ParseValue(word + length + 1, fingerprint);
    } else if (StartsWithFolded(word, name) && word[length] == '\0') {
      problem = "write the name, '=' and the value with no blanks between them";
    } else {
      problem = "expected the DLL's name, '=' and SIZE:CRC";
    }
    fingerprint->state =
        problem == nullptr ? DllFingerprint::kDeclared : DllFingerprint::kMalformed;
    if (problem != nullptr) {
      fingerprint->problem = problem;
      std::snprintf(fingerprint->token, sizeof fingerprint->token, "%.60s", word);
    }
    return dll;
  }
  return -1;
}

std::string FingerprintText(uint64_t size, uint32_t crc) {
  char text[40];
  std::snprintf(text, sizeof text, "%llu:%08X", static_cast<unsigned long long>(size),
                static_cast<unsigned>(crc));
  return text;
}
