// The unpacked Windows package as a player first meets it
// (scripts/test.d/70-package.sh): runs demo.bat as a double-click would, then
// reads the window of the Orvanel.exe it started and exchanges the effects of
// the first skills of the first two classes. Prints what the window showed
// and the result box's text, one "name: value" line each, for the script to
// compare; exits 1 when a step could not be done.
//   package_smoke DEMO_BAT
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/window_driver.h"

namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "package_smoke: %s\n", message.c_str());
  return 1;
}

std::string Joined(const std::vector<std::string>& entries) {
  std::string text;
  for (const std::string& entry : entries) text += (text.empty() ? "" : ", ") + entry;
  return text;
}

// Runs the batch file in the current folder, as Explorer would, and waits
// for it to end. Its exit code, or -1 when it could not be run in time.
long RunBatch(const std::string& bat) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string commandLine = "cmd.exe /c \"" + bat + "\"";
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return -1;
  }
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<long>(code);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return Fail("usage: package_smoke DEMO_BAT");
  long batch = RunBatch(argv[1]);
  if (batch != 0) return Fail(std::string(argv[1]) + " ended with " + std::to_string(batch));

  OrvanelRun run;
  std::string error;
  if (!run.Attach(30000, &error)) return Fail(error);
  std::vector<HWND> controls = Children(run.MainWindow());
  if (controls.size() < 19)
    return Fail("expected the 19 controls, found " + std::to_string(controls.size()));
  std::printf("folder: %s\n", WindowText(controls[1]).c_str());
  std::printf("versions: %s\n", Joined(ReadCombo(controls[3]).entries).c_str());
  std::printf("classes: %s\n", Joined(ReadCombo(controls[5]).entries).c_str());

  PickEntry(controls[9], 1);
  ClickCheckBox(controls[13]);
  PostClick(controls[18]);
  BoxInfo box;
  if (!run.WaitForBox(10000, &box)) return Fail("no result box appeared");
  PrintBoxLines(box, "result: ");
  run.CloseBox(box);
  ClickCloseBox(run.MainWindow());
  if (run.WaitForExit(10000) == kStillRunning) return Fail("Orvanel.exe did not end");
  return 0;
}
