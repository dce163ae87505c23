// What a run writes to standard output, held whole until every output is
// complete, and then written.
#pragma once

#include <cstddef>
#include <memory>
#include <streambuf>
#include <vector>

namespace ddhost {

// A stream buffer holding everything written to it, in one copy: it grows
// a block at a time, so nothing held is ever copied, and running out of
// memory is recorded instead of dropping what did not fit.
class HeldOutput : public std::streambuf {
public:
  HeldOutput() = default;
  HeldOutput(const HeldOutput&) = delete;
  HeldOutput& operator=(const HeldOutput&) = delete;

  // Bytes held.
  std::size_t size() const;
  // Whether memory ran out: what is held is then not all that was written.
  bool incomplete() const { return incomplete_; }
  // Throws std::runtime_error naming standard output when memory ran out.
  void check() const;

  // Writes what is held to standard output unchanged (no newline
  // translation). Throws std::runtime_error when it cannot all be written.
  void writeToStandardOutput() const;

  // The block size; a test's business.
  static constexpr std::size_t kBlock = std::size_t{1} << 20;

protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* data, std::streamsize size) override;

private:
  bool grow();

  std::vector<std::unique_ptr<char[]>> blocks_;
  bool incomplete_ = false;
};

}  // namespace ddhost
