// The yardstick of a safe save: replaces files in a folder the durable way
// that is hard to beat, with nothing else around it. Each source's bytes go
// to a temporary file beside its namesake in FOLDER, flushed to the disk and
// renamed over it; then the folder is flushed once, so that every new name
// is on the disk too. Linked statically, as orvanel-cli is in the bench.
//   durable_replace [--journaled] FOLDER SOURCE...
// --journaled keeps several files together the least a change of them can:
// a small journal flushed into place (file, then folder) before the first
// rename, the folder flushed after the last, the journal removed and the
// folder flushed again. What it costs beyond the plain run is the floor of
// any such change, whatever program makes it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

bool ReadAll(const char* path, std::vector<char>* bytes) {
  int file = open(path, O_RDONLY | O_CLOEXEC);
  struct stat status = {};
  if (file < 0 || fstat(file, &status) != 0) return false;
  bytes->resize(static_cast<size_t>(status.st_size));
  bool read = ::read(file, bytes->data(), bytes->size()) == static_cast<ssize_t>(bytes->size());
  return close(file) == 0 && read;
}

bool WriteFlushed(const std::string& path, const std::vector<char>& bytes) {
  int file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (file < 0) return false;
  bool written = write(file, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
                 fsync(file) == 0;
  return close(file) == 0 && written;
}

bool FlushFolder(const std::string& folder) {
  int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory < 0) return false;
  bool flushed = fsync(directory) == 0;
  return close(directory) == 0 && flushed;
}

// About the size of a journal of an exchange of three aspects in two DLLs.
bool PutJournal(const std::string& folder) {
  std::vector<char> text(720, 'j');
  std::string journal = folder + "/journal";
  return WriteFlushed(journal + ".tmp", text) &&
         std::rename((journal + ".tmp").c_str(), journal.c_str()) == 0 && FlushFolder(folder);
}

bool RemoveJournal(const std::string& folder) {
  return std::remove((folder + "/journal").c_str()) == 0 && FlushFolder(folder);
}

}  // namespace

int main(int argc, char** argv) {
  bool journaled = argc > 1 && std::string(argv[1]) == "--journaled";
  int first = journaled ? 3 : 2;
  if (argc <= first) {
    std::fprintf(stderr, "usage: durable_replace [--journaled] FOLDER SOURCE...\n");
    return 2;
  }
  std::string folder = argv[first - 1];
  if (journaled && !PutJournal(folder)) {
    std::perror(folder.c_str());
    return 1;
  }
  std::vector<char> bytes;
  for (int i = first; i < argc; ++i) {
    std::string source = argv[i];
    std::string target = folder + "/" + source.substr(source.find_last_of('/') + 1);
    std::string temporary = target + ".tmp";
    if (!ReadAll(argv[i], &bytes) || !WriteFlushed(temporary, bytes) ||
        std::rename(temporary.c_str(), target.c_str()) != 0) {
      std::perror(target.c_str());
      return 1;
    }
  }
  if (!FlushFolder(folder) || (journaled && !RemoveJournal(folder))) {
    std::perror(folder.c_str());
    return 1;
  }
  return 0;
}
