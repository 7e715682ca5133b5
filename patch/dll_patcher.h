// The one in-memory DLL image, its 256-byte transfer window and the game
// folder with the two DLL paths built from it.
// Operations that can fail return 1 for success and 0 for failure, log the
// reason and keep it in lastError; on failure nothing else in the object or
// on disk has changed.
#ifndef ORVANEL_PATCH_DLL_PATCHER_H_
#define ORVANEL_PATCH_DLL_PATCHER_H_

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "files/backup.h"
#include "io/save_steps.h"
#include "io/whole_file.h"

// File numbers: which dllPaths slot a load or save uses.
// (kGameDll and kClientDll: tables/fingerprint_token.h)
constexpr int kPathSlots = 3;  // the third slot is never filled
constexpr int kWindowSize = 256;
constexpr int kTextSize = 256;
// Longest folder whose "\d2client.dll" path still fits a 256-byte buffer.
constexpr int kMaxFolderLength = 242;
static_assert(kGameDll == 0 && kClientDll == 1, "file numbers index the DLL names and aspects");

class DllPatcher {
 public:
  // Reads the game folder from data\config.txt and builds the DLL paths.
  DllPatcher();
  ~DllPatcher() = default;
  DllPatcher(const DllPatcher&) = delete;
  DllPatcher& operator=(const DllPatcher&) = delete;

  // Reads the whole file of a path slot into image. The file must be
  // openable for update ("rb+"), so a read-only or locked DLL is refused.
  int LoadFile(int fileNumber);
  void SetOffset(const char* text);
  // Callers keep offset..offset+length inside the image (SwapRanges checks).
  void ReadWindow(int32_t length);
  void WriteWindow();
  // Exchanges length bytes at offset text a with length bytes at offset text
  // b. Refuses (logs "* Bad offset ..." and changes nothing) unless both
  // texts are non-empty upper-case hexadecimal, 1 <= length <= 256 and both
  // ranges lie wholly inside the image.
  int SwapRanges(int32_t length, const char* offsetA, const char* offsetB);
  // Replaces the file of a path slot by the image in one step: the image is
  // written to a new temporary file beside it, flushed, then moved over it,
  // keeping the file's mode and owner or attributes; a DLL that is a link has
  // its target replaced. Before the first change the untouched file is kept
  // as "<dll>.bak" (files/backup.h); when that backup cannot be made, or the
  // one there cannot be the original, nothing is written.
  int SaveFile(int fileNumber);
  // Makes path the game folder, rebuilds the DLL paths, keeps the folder in
  // its stored form (blanks as underscores) and rewrites data\config.txt.
  // Refuses a path FolderProblem finds fault with (nothing changes). When the
  // file cannot be written the folder holds for this run only: kept (when
  // given) is then false and lastError says why.
  int StoreFolder(const char* path, bool* kept = nullptr);
  // Makes path the game folder for this run only: rebuilds the DLL paths and
  // leaves data\config.txt alone. Refuses a path FolderProblem finds fault with.
  int UseFolder(const char* path);
  // The "Swap" button's work: reads the window's controls, runs the
  // exchange and shows the result. Defined by the window program.
  void SwapSkills();

  int32_t imageSize = 0;
  uint8_t window[kWindowSize] = {};
  int32_t windowLength = 0;
  int32_t offset = 0;
  ByteStore image;
  char folder[kTextSize] = {};
  // Each DLL as found in the folder whatever its letter case (io/file_case.h).
  char dllPaths[kPathSlots][kTextSize] = {};
  // The slot the image came from (-1: none), so that errors can name the file.
  int loadedFile = -1;

  // Per DLL, the ranges the tables name: an existing backup may differ from
  // the DLL there only. The exchange and restore fill them from the tables.
  ByteRanges changeable[2];
  // Why the last load, swap or save failed.
  FileError lastError;

  // How saves reach the disk; tests swap in one that fails on purpose.
  SaveSteps* saveSteps = &SaveSteps::System();
};

// What the front ends say when a change needs the game folder and none is set.
constexpr char kFolderNotSet[] = "Diablo II .dll folder not set";

// Whether a game folder is set, so that the DLL paths name files.
bool HasGameFolder(const DllPatcher& patcher);

// Why path cannot be the game folder: longer than kMaxFolderLength, or
// holding a control character (a line break or a tab would end the setting
// line early, and the next start would read another folder); detail says
// what is wrong. kNone when it can.
FileError FolderProblem(const char* path);

// The folder a stored setting ("Folder: " + stored) gives at the next start:
// underscores read as blanks unless only the text as stored names a folder;
// when neither does, the first existing folder among the readings of each
// path part with blanks and underscores mixed (a bounded search), else all
// blanks.
void DecodeStoredFolder(const char* stored, char folder[kTextSize]);

#endif  // ORVANEL_PATCH_DLL_PATCHER_H_
