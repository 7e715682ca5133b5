// orvanel-cli: the window's work from a console. Reads the tables of the
// data folder and the game folder of data\config.txt as the window does,
// runs one command and exits 0 on success, 1 when it failed, 2 on bad usage.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "cli/commands.h"
#include "io/file_paths.h"
#include "patch/dll_patcher.h"
#include "patch/logger.h"
#include "resources/version.h"
#include "tables/data_files.h"
#include "tables/record_list.h"

Logger logger;

namespace {

struct Options {
  std::string data;
  std::string folder;
  SwapRequest swap;
  std::string newFolder;
  std::string statusVersion;
  std::string setFile;
  bool applyDryRun = false;
};

// The game version option of a command: --game-version or -g, and --version,
// its older spelling, still understood but no longer shown.
void AddGameVersion(CLI::App* command, std::string& version, const char* description) {
  command->add_option("-g,--game-version", version, description)->type_name("NAME|POS");
  command->add_option("--version", version)->group("");
}

void AddCommands(CLI::App& app, Options& options) {
  app.add_option("--data", options.data, "the data folder (default: data in the current folder)")
      ->type_name("DIR");
  app.add_option("--folder", options.folder,
                 "the game folder for this run (default: the one kept in data\\config.txt)")
      ->type_name("DIR");
  app.set_version_flag("--version", "orvanel-cli " ORVANEL_VERSION, "print the version and exit");
  app.require_subcommand(1);
  app.fallthrough();

  app.add_subcommand("list", "List the versions, classes and skills with their positions");

  CLI::App* swap = app.add_subcommand(
      "swap", "Exchange two skills' aspects in the DLLs, as the window's Swap button does");
  SwapRequest& request = options.swap;
  AddGameVersion(swap, request.version,
                 "game version, by name or position (default: the one version whose "
                 "fingerprints match the DLLs)");
  swap->add_option("--first", request.first, "first skill, e.g. Amazon:\"Magic Arrow\"")
      ->required()
      ->type_name("CLASS:SKILL");
  swap->add_option("--second", request.second, "second skill, e.g. Sorceress:Fire_Bolt")
      ->required()
      ->type_name("CLASS:SKILL");
  swap->add_flag("--effects", request.aspects[0], "exchange the effects (d2game.dll)");
  swap->add_flag("--graphics", request.aspects[1], "exchange the graphics (d2client.dll)");
  swap->add_flag("--descs", request.aspects[2], "exchange the descriptions (d2client.dll)");
  swap->add_flag("--dry-run", request.dryRun,
                 "show the bytes that would change, before and after; write nothing");

  app.add_subcommand("check",
                     "Report table problems that would make an exchange wrong or fail, "
                     "as file:line: problem");
  app.add_subcommand("restore", "Put the DLLs' backups (.bak) back; the backups stay");
  CLI::App* apply = app.add_subcommand(
      "apply", "Make the DLLs the originals with exactly the exchanges of a swap set file");
  apply->add_option("FILE", options.setFile, "the swap set, as status prints it")->required();
  apply->add_flag("--dry-run", options.applyDryRun, "show what would change; write nothing");
  AddGameVersion(
      app.add_subcommand("status",
                         "Show what the program has changed in the DLLs, as a swap set to save "
                         "and apply"),
      options.statusVersion,
      "the version whose tables name the ranges (default: the one the DLLs match, else the first)");
  app.add_subcommand("fingerprint",
                     "Print the DLLs' fingerprints (untouched form) to put after a version's "
                     "name in data\\versions.txt");
  app.add_subcommand("set-folder", "Keep DIR as the game folder, as \"Set .dll Location\" does")
      ->add_option("DIR", options.newFolder, "the folder holding d2game.dll and d2client.dll")
      ->required();
}

int Run(CLI::App& app, const Options& options) {
  if (!options.data.empty()) SetDataFolder(options.data.c_str());
  // Made only now, so that it reads the chosen data folder's config.txt.
  auto patcher = std::make_unique<DllPatcher>();
  if (!options.folder.empty()) {
    std::error_code error;
    std::string folder = std::filesystem::absolute(options.folder, error).string();
    if (error || !patcher->UseFolder(folder.c_str())) {
      std::fprintf(
          stderr, "orvanel-cli: --folder: %s\n",
          error ? "the folder cannot be found" : UserReason(FolderProblem(folder.c_str())).c_str());
      return kExitUsage;
    }
  }

  if (app.got_subcommand("set-folder")) return RunSetFolder(*patcher, options.newFolder);
  versionList = LoadVersions("data\\versions.txt");
  bool classesRead = LoadClasses(versionList);
  int status = kExitFailed;
  if (app.got_subcommand("check")) {
    status = RunCheck(*patcher);
  } else if (!classesRead) {
    std::fprintf(stderr, "orvanel-cli: expected the tables in %s, found no classes.txt\n",
                 NativePath("data\\").c_str());
  } else if (app.got_subcommand("list")) {
    status = RunList(*patcher);
  } else if (app.got_subcommand("swap")) {
    status = RunSwap(*patcher, options.swap);
  } else if (app.got_subcommand("restore")) {
    status = RunRestore(*patcher);
  } else if (app.got_subcommand("apply")) {
    status = RunApply(*patcher, options.setFile, options.applyDryRun);
  } else if (app.got_subcommand("status")) {
    status = RunStatus(*patcher, options.statusVersion);
  } else if (app.got_subcommand("fingerprint")) {
    status = RunFingerprint(*patcher);
  }
  FreeDataTables();
  return status;
}

// --version before the command prints the program's version alone; followed
// by more words it was meant as the game version, which would otherwise be
// dropped silently.
bool VersionWithMore(const CLI::App& app, int argc, char** argv) {
  if (argc <= 2) return false;
  for (int i = 1; i < argc; ++i) {
    std::string word = argv[i];
    if (word == "--version") return true;
    auto named = [&word](const CLI::App* command) { return command->get_name() == word; };
    if (!app.get_subcommands(named).empty()) return false;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Orvanel: exchanges skills between character classes in d2game.dll and "
      "d2client.dll. Works in the current folder like the window: data\\ tables, "
      "data\\config.txt, log.txt.",
      "orvanel-cli"};
  Options options;
  AddCommands(app, options);
  SetFolderStep("orvanel-cli set-folder DIR");
  if (VersionWithMore(app, argc, argv)) {
    std::fprintf(stderr,
                 "orvanel-cli: --version before the command prints the program's version and "
                 "takes nothing more; the game version goes after the command: "
                 "orvanel-cli swap --game-version 1.09b ... (or -g 1.09b)\n");
    return kExitUsage;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    bool noCommand = dynamic_cast<const CLI::RequiredError*>(&error) != nullptr ||
                     dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr;
    if (noCommand && app.get_subcommands().empty()) {
      std::string found = argc > 1 ? std::string("\"") + argv[argc - 1] + "\"" : "none";
      std::fprintf(
          stderr,
          "orvanel-cli: expected a command (list, swap, check, restore, status, "
          "apply, set-folder, fingerprint), found %s\nRun with --help for more information.\n",
          found.c_str());
      return kExitUsage;
    }
    return app.exit(error) == 0 ? kExitSuccess : kExitUsage;
  }
  return Run(app, options);
}
