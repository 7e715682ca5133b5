// The yardstick of a safe save: replaces files in a folder the durable way
// that is hard to beat, with nothing else around it. Each source's bytes go
// to a temporary file beside its namesake in FOLDER, flushed to the disk and
// renamed over it; then the folder is flushed once, so that every new name
// is on the disk too. Linked statically, as orvanel-cli is in the bench.
//   durable_replace FOLDER SOURCE...
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: durable_replace FOLDER SOURCE...\n");
    return 2;
  }
  std::string folder = argv[1];
  std::vector<char> bytes;
  for (int i = 2; i < argc; ++i) {
    std::string source = argv[i];
    std::string target = folder + "/" + source.substr(source.find_last_of('/') + 1);
    std::string temporary = target + ".tmp";
    if (!ReadAll(argv[i], &bytes) || !WriteFlushed(temporary, bytes) ||
        std::rename(temporary.c_str(), target.c_str()) != 0) {
      std::perror(target.c_str());
      return 1;
    }
  }
  int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory < 0 || fsync(directory) != 0) {
    std::perror(folder.c_str());
    return 1;
  }
  close(directory);
  return 0;
}
