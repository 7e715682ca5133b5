// The scripted demo run (scripts/run-demo.sh on a machine without a display):
// starts Orvanel.exe on the demo data, exchanges all three aspects of the
// first Amazon skill and the first Sorceress skill in the version the DLLs'
// fingerprints match, then tries the same in the other version, which is
// refused; prints each result box's text and the bytes that changed, and
// saves pictures of the window.
//   demo_exchange ORVANEL_EXE WORK_FOLDER GAME_FOLDER PICTURE_FOLDER
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/e2e/window_driver.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The screen inside a window's frame, as a 24-bit BMP file.
bool SavePicture(HWND window, const std::string& path) {
  RECT rect;
  GetWindowRect(window, &rect);
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);

  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  int rowSize = (width * 3 + 3) & ~3;
  std::vector<char> pixels(static_cast<size_t>(rowSize) * height);
  GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
            DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof header + sizeof info;
  header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(&header), sizeof header);
  file.write(reinterpret_cast<const char*>(&info), sizeof info);
  file.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  return static_cast<bool>(file);
}

std::string Printable(const Bytes& bytes, size_t from, size_t to) {
  std::string text;
  for (size_t i = from; i < to; ++i) {
    text += (bytes[i] >= 0x20 && bytes[i] < 0x7F) ? static_cast<char>(bytes[i]) : '.';
  }
  return text;
}

// Every run of changed bytes, widened to the whole label it lies in (the demo
// DLLs hold labels on a background of 0xCC): where, and what it held before
// and after.
void PrintChanges(const char* name, const Bytes& before, const Bytes& after) {
  constexpr unsigned char kBackground = 0xCC;
  if (before.size() != after.size()) {
    std::printf("  %s: size changed from %zu to %zu bytes\n", name, before.size(), after.size());
    return;
  }
  size_t changed = 0;
  for (size_t i = 0; i < before.size();) {
    if (before[i] == after[i]) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < before.size() && before[end] != after[end]) ++end;
    changed += end - i;
    size_t from = i;
    while (from > 0 && before[from - 1] != kBackground && after[from - 1] != kBackground) --from;
    while (end < before.size() && before[end] != kBackground && after[end] != kBackground) {
      if (before[end] != after[end]) ++changed;
      ++end;
    }
    std::printf("  %s 0x%06zX..0x%06zX: \"%s\" -> \"%s\"\n", name, from, end - 1,
                Printable(before, from, end).c_str(), Printable(after, from, end).c_str());
    i = end;
  }
  std::printf("  %s: %zu bytes changed\n", name, changed);
}

std::string Selected(const ComboInfo& combo) {
  if (combo.selection < 0 || combo.selection >= static_cast<int>(combo.entries.size())) return "";
  return combo.entries[static_cast<size_t>(combo.selection)];
}

void PrintBox(const BoxInfo& box) {
  std::printf("Result box \"%s\":\n", box.caption.c_str());
  PrintBoxLines(box, "  | ");
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "demo_exchange: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    return Fail("usage: demo_exchange ORVANEL_EXE WORK_FOLDER GAME_FOLDER PICTURE_FOLDER");
  }
  std::string exe = argv[1];
  std::string gameDll = std::string(argv[3]) + "\\d2game.dll";
  std::string clientDll = std::string(argv[3]) + "\\d2client.dll";
  std::string pictures = argv[4];
  Bytes gameBefore = ReadAll(gameDll);
  Bytes clientBefore = ReadAll(clientDll);

  OrvanelRun run;
  std::string error;
  if (!run.Start(exe, argv[2], &error)) return Fail(error);
  HWND main = run.MainWindow();
  if (main == nullptr) return Fail("Orvanel.exe ended before its window was complete");
  std::vector<HWND> controls = Children(main);
  if (controls.size() < 19)
    return Fail("expected the 19 controls, found " + std::to_string(controls.size()));
  HWND secondClass = controls[9];
  HWND effects = controls[13];
  HWND graphics = controls[15];
  HWND descriptions = controls[17];
  HWND swap = controls[18];

  PickEntry(secondClass, 1);
  ClickCheckBox(effects);
  ClickCheckBox(graphics);
  ClickCheckBox(descriptions);
  ComboInfo firstSkill = ReadCombo(controls[7]);
  ComboInfo secondSkill = ReadCombo(controls[11]);
  std::printf("Exchanging all aspects of \"%s\" (%s) and \"%s\" (%s), version %s\n",
              Selected(firstSkill).c_str(), Selected(ReadCombo(controls[5])).c_str(),
              Selected(secondSkill).c_str(), Selected(ReadCombo(secondClass)).c_str(),
              Selected(ReadCombo(controls[3])).c_str());
  Sleep(200);  // let the window finish painting
  SavePicture(main, pictures + "\\window.bmp");

  PostClick(swap);
  BoxInfo box;
  if (!run.WaitForBox(5000, &box)) return Fail("no result box appeared");
  Sleep(200);
  SavePicture(main, pictures + "\\result.bmp");
  PrintBox(box);
  run.CloseBox(box);
  std::printf("Bytes that changed:\n");
  Bytes gameAfter = ReadAll(gameDll);
  Bytes clientAfter = ReadAll(clientDll);
  PrintChanges("d2game.dll", gameBefore, gameAfter);
  PrintChanges("d2client.dll", clientBefore, clientAfter);

  // The same exchange for the version whose fingerprints the DLLs do not match.
  PickEntry(controls[3], 1);
  std::printf("The same exchange, version %s\n", Selected(ReadCombo(controls[3])).c_str());
  PostClick(swap);
  if (!run.WaitForBox(5000, &box)) return Fail("no result box appeared");
  PrintBox(box);
  run.CloseBox(box);
  std::printf("Bytes that changed:\n");
  PrintChanges("d2game.dll", gameAfter, ReadAll(gameDll));
  PrintChanges("d2client.dll", clientAfter, ReadAll(clientDll));

  ClickCloseBox(main);
  DWORD code = run.WaitForExit(10000);
  std::printf("Orvanel.exe ended with exit code %lu\n", static_cast<unsigned long>(code));
  return code == 1 ? 0 : 1;
}
