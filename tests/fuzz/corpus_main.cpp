// Runs a fuzz target over every file of the directories or files named on
// the command line, so that the seed corpus and every input that once broke
// a parser stay part of the ordinary test run. Exits non-zero when nothing
// was run, so a corpus that went missing cannot pass silently.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int RunFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::printf("cannot read %s\n", path.c_str());
    return 0;
  }
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return 1;
}

int RunPath(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return 0;
  if (!S_ISDIR(info.st_mode)) return RunFile(path);
  int count = 0;
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return 0;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") count += RunPath(path + "/" + name);
  }
  closedir(dir);
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  // The engine reports every syntax error on stderr; the corpus is full of
  // them on purpose.
  const int null = open("/dev/null", O_WRONLY);
  if (null < 0 || dup2(null, 2) < 0) return 2;
  close(null);
  int count = 0;
  for (int i = 1; i < argc; ++i) count += RunPath(argv[i]);
  std::printf("%d inputs run\n", count);
  return count > 0 ? 0 : 1;
}
