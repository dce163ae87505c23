#include <harness/Files.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    throw std::runtime_error("cannot read " + path.string());
  }
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
  if (!file.flush()) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

}  // namespace testsupport
