// A script read from a source of bytes one statement at a time, in one
// pass: only the statement being read is held, however large the script.
#pragma once

#include <ddhost/ScriptReader.h>

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

namespace ddhost {

class ScriptStream {
public:
  // Fills up to `size` bytes at `into` and returns how many; 0 only at the
  // end. Throws what it likes, std::runtime_error for a read error.
  using Source = std::function<std::size_t(char* into, std::size_t size)>;

  // `chunk`: how much is read at a time; a statement longer than that is
  // held whole.
  explicit ScriptStream(Source source, std::size_t chunk = std::size_t{1} << 20);

  // As ScriptReader::next, with the same errors at the same lines as for
  // the script read whole. What it read is valid until the next call.
  bool next();
  const NodeBlock* node() const { return reader_.node(); }
  const Push* push() const { return reader_.push(); }

  // Where the statement being read (or last read) starts, and how many
  // bytes of the script from there are held: what a message about running
  // out of memory names.
  std::size_t statementLine() const { return line_; }
  std::size_t heldBytes() const { return end_ - begin_; }

private:
  std::string_view unread() const { return {buffer_.data() + begin_, end_ - begin_}; }
  // Reads more after what is unread, moving that to the front first.
  void refill();
  // Past the rest of a comment that went on beyond the bytes read so far.
  bool skipCommentRest();

  Source source_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // the unread bytes are [begin_, end_)
  std::size_t end_ = 0;
  std::size_t line_ = 1;  // of begin_
  bool atSourceEnd_ = false;
  bool inComment_ = false;
  ScriptReader reader_{std::string_view()};
};

}  // namespace ddhost
