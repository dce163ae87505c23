// Runs a fuzz target's entry point once on each file named, or found in a
// folder named, on the command line: its seed corpus as a plain program,
// for builds without libFuzzer (the coverage build). A target that finds a
// fault aborts, as it does under the fuzzer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

void replay(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<std::uint8_t> input(bytes.size());
  std::transform(bytes.begin(), bytes.end(), input.begin(), [](char c) { return static_cast<std::uint8_t>(c); });
  // data() of an empty vector may be null; the fuzzer hands a valid pointer.
  static const std::uint8_t none = 0;
  LLVMFuzzerTestOneInput(input.empty() ? &none : input.data(), input.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE-OR-FOLDER...\n", argv[0]);
    return 2;
  }
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    const fs::path given(argv[i]);
    std::vector<fs::path> files;
    if (fs::is_directory(given)) {
      for (const fs::directory_entry& entry : fs::directory_iterator(given)) {
        if (entry.is_regular_file()) {
          files.push_back(entry.path());
        }
      }
      std::sort(files.begin(), files.end());
    } else if (fs::is_regular_file(given)) {
      files.push_back(given);
    } else {
      std::fprintf(stderr, "%s: no such file or folder\n", argv[i]);
      return 2;
    }
    for (const fs::path& file : files) {
      replay(file);
      ++replayed;
    }
  }
  std::printf("%zu inputs replayed\n", replayed);
  // An empty corpus replays nothing: that is no run at all.
  return replayed != 0 ? 0 : 1;
}
