// Times whole processes side by side: each run times every step once, so
// that all steps see the same load on the machine and the disk, and the
// ratios are taken run by run.
//   bench_paired RUNS YARDSTICK[,YARDSTICK...] PLAN
// PLAN has one command a line, its fields separated by tabs:
//   LABEL  EXIT  PROGRAM  ARGUMENT...
// Consecutive lines with the same label are one step, timed as a whole (both
// DLLs of a copy, say). EXIT is the status the command must end with. Lines
// starting with # are skipped. Output of the commands goes to /dev/null.
// One untimed run of every step comes first (it also makes the one-time
// backups of an exchange). Each step is then reported as its median time
// with the quartiles and extremes, and for each yardstick as the median of
// its ratio to the step of that label in the same run.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

using Clock = std::chrono::steady_clock;

namespace {

struct Command {
  int exitStatus = 0;
  std::vector<std::string> arguments;
};

struct Step {
  std::string label;
  std::vector<Command> commands;
  std::vector<double> milliseconds;
  std::vector<std::vector<double>> ratios;  // per yardstick
};

std::vector<std::string> Fields(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::stringstream stream(line);
  for (std::string field; std::getline(stream, field, separator);) fields.push_back(field);
  return fields;
}

// False, and why on stderr, when a line is not LABEL EXIT PROGRAM ...
bool ReadPlan(const char* path, std::vector<Step>* steps) {
  std::ifstream file(path);
  if (!file) {
    std::fprintf(stderr, "bench_paired: cannot read the plan %s\n", path);
    return false;
  }
  int number = 0;
  for (std::string line; std::getline(file, line);) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields = Fields(line, '\t');
    if (fields.size() < 3) {
      std::fprintf(stderr, "bench_paired: %s:%d: expected LABEL, EXIT and PROGRAM, found \"%s\"\n",
                   path, number, line.c_str());
      return false;
    }
    if (steps->empty() || steps->back().label != fields[0]) {
      steps->emplace_back();
      steps->back().label = fields[0];
    }
    steps->back().commands.push_back(
        {std::atoi(fields[1].c_str()), std::vector<std::string>(fields.begin() + 2, fields.end())});
  }
  return !steps->empty();
}

bool Run(const Command& command) {
  std::vector<char*> argv;
  for (const std::string& argument : command.arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int status = 0;
  bool ran = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0 &&
             waitpid(pid, &status, 0) == pid;
  posix_spawn_file_actions_destroy(&actions);
  if (ran && WIFEXITED(status) && WEXITSTATUS(status) == command.exitStatus) return true;
  std::fprintf(stderr, "bench_paired: %s ended with status %d, expected %d\n", argv[0],
               ran && WIFEXITED(status) ? WEXITSTATUS(status) : -1, command.exitStatus);
  return false;
}

bool Time(const Step& step, double* milliseconds) {
  Clock::time_point start = Clock::now();
  for (const Command& command : step.commands) {
    if (!Run(command)) return false;
  }
  *milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  return true;
}

// The value at fraction q of the sorted values, between neighbours.
double Quantile(std::vector<double> values, double q) {
  std::sort(values.begin(), values.end());
  double at = q * static_cast<double>(values.size() - 1);
  size_t below = static_cast<size_t>(at);
  size_t above = std::min(below + 1, values.size() - 1);
  return values[below] + (at - static_cast<double>(below)) * (values[above] - values[below]);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_paired RUNS YARDSTICK[,YARDSTICK...] PLAN\n");
    return 2;
  }
  int runs = std::max(1, std::atoi(argv[1]));
  std::vector<std::string> yardstickLabels = Fields(argv[2], ',');
  std::vector<Step> steps;
  if (!ReadPlan(argv[3], &steps)) return 2;
  std::vector<size_t> yardsticks;
  for (const std::string& label : yardstickLabels) {
    auto found = std::find_if(steps.begin(), steps.end(),
                              [&label](const Step& step) { return step.label == label; });
    if (found == steps.end()) {
      std::fprintf(stderr, "bench_paired: no step labelled %s in %s\n", label.c_str(), argv[3]);
      return 2;
    }
    yardsticks.push_back(static_cast<size_t>(found - steps.begin()));
  }

  double ignored = 0;
  for (Step& step : steps) {
    if (!Time(step, &ignored)) return 1;
    step.ratios.resize(yardsticks.size());
  }
  std::vector<double> times(steps.size());
  for (int run = 0; run < runs; ++run) {
    // Each run starts at another step, so none always follows the same one.
    for (size_t k = 0; k < steps.size(); ++k) {
      size_t i = (k + static_cast<size_t>(run)) % steps.size();
      if (!Time(steps[i], &times[i])) return 1;
    }
    for (size_t i = 0; i < steps.size(); ++i) {
      steps[i].milliseconds.push_back(times[i]);
      for (size_t y = 0; y < yardsticks.size(); ++y) {
        steps[i].ratios[y].push_back(times[i] / times[yardsticks[y]]);
      }
    }
  }

  std::printf(
      "%d runs; ms: median (quartiles; min..max); x LABEL: median of the per-run ratios "
      "to that step (quartiles)\n",
      runs);
  std::printf("%-18s %8s  %-15s %-15s", "step", "median", "quartiles", "min..max");
  for (const std::string& label : yardstickLabels) {
    std::printf("  %-19s", ("x " + label).c_str());
  }
  std::printf("\n");
  for (const Step& step : steps) {
    const std::vector<double>& ms = step.milliseconds;
    char quartiles[40];
    char extremes[40];
    std::snprintf(quartiles, sizeof quartiles, "%.2f..%.2f", Quantile(ms, 0.25),
                  Quantile(ms, 0.75));
    std::snprintf(extremes, sizeof extremes, "%.2f..%.2f", Quantile(ms, 0), Quantile(ms, 1));
    std::printf("%-18s %8.2f  %-15s %-15s", step.label.c_str(), Quantile(ms, 0.5), quartiles,
                extremes);
    for (const std::vector<double>& ratios : step.ratios) {
      char ratio[48];
      std::snprintf(ratio, sizeof ratio, "%.2f (%.2f..%.2f)", Quantile(ratios, 0.5),
                    Quantile(ratios, 0.25), Quantile(ratios, 0.75));
      std::printf("  %-19s", ratio);
    }
    std::printf("\n");
  }
  return 0;
}
