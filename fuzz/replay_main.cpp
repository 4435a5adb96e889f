// Replays fuzz inputs through a target without libFuzzer, so that every build
// (any compiler, with or without sanitizers) runs the corpora and the
// regression inputs as tests.
//
// Usage: replay_<target> FILE|FOLDER...  Every file named, and every file in
// a folder named (in name order), goes to LLVMFuzzerTestOneInput once; a
// path that does not exist is passed over (a target without regression
// inputs has no folder for them). A failed check aborts the process, which
// fails the test; otherwise the driver prints how many inputs it ran and
// returns 0, or 1 when it found no input at all (a corpus folder that went
// missing must not pass quietly).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void run_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // An empty input still gets a valid pointer, as libFuzzer gives one.
  std::vector<uint8_t> input(bytes.begin(), bytes.end());
  LLVMFuzzerTestOneInput(input.empty() ? reinterpret_cast<const uint8_t*>("") : input.data(), input.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path arg = argv[i];
    if (std::filesystem::is_directory(arg)) {
      std::vector<std::filesystem::path> inside;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(arg))
        if (entry.is_regular_file()) inside.push_back(entry.path());
      std::sort(inside.begin(), inside.end());
      files.insert(files.end(), inside.begin(), inside.end());
    } else if (std::filesystem::is_regular_file(arg)) {
      files.push_back(arg);
    } else if (std::filesystem::exists(arg)) {
      std::fprintf(stderr, "replay: %s is neither a file nor a folder\n", argv[i]);
      return 1;
    }  // a target without regression inputs has no folder for them
  }
  for (const auto& f : files) {
    // Named first, so that a failed check says which input it was.
    std::fprintf(stderr, "replay: %s\n", f.string().c_str());
    run_file(f);
  }
  std::printf("replayed %zu inputs\n", files.size());
  return files.empty() ? 1 : 0;
}
