#include <ddhost/ScriptStream.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace ddhost {

ScriptStream::ScriptStream(Source source, std::size_t chunk)
    : source_(std::move(source)), buffer_(std::max<std::size_t>(chunk, 1)) {}

void ScriptStream::refill() {
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) {
    // One statement longer than all that is held: it is held whole.
    buffer_.resize(buffer_.size() * 2);
  }
  const std::size_t got = source_(buffer_.data() + end_, buffer_.size() - end_);
  atSourceEnd_ = got == 0;
  end_ += got;
}

bool ScriptStream::skipCommentRest() {
  while (inComment_) {
    const std::string_view bytes = unread();
    const std::size_t lineEnd = bytes.find('\n');
    if (lineEnd != std::string_view::npos) {
      // The line end itself is left to the reader, which counts it.
      begin_ += lineEnd;
      inComment_ = false;
      return true;
    }
    begin_ = end_;
    if (atSourceEnd_) {
      return false;
    }
    refill();
  }
  return true;
}

bool ScriptStream::next() {
  reader_.forgetTexts();
  for (;;) {
    if (!skipCommentRest()) {
      return false;
    }
    reader_.restart(unread(), line_);
    if (!reader_.skipToStatement()) {
      // Blank lines and comments up to the end of what was read: none of
      // it is kept, only whether a comment is still open.
      const std::string_view bytes = unread();
      const std::size_t lastLine = bytes.rfind('\n');
      inComment_ = bytes.find('#', lastLine == std::string_view::npos ? 0 : lastLine + 1) != std::string_view::npos;
      line_ = reader_.line();
      begin_ = end_;
      if (atSourceEnd_) {
        return false;
      }
      refill();
      continue;
    }
    const std::size_t start = reader_.offset();
    begin_ += start;
    line_ = reader_.line();
    reader_.restart(unread(), line_);
    bool read = false;
    try {
      read = reader_.next();
    } catch (const ScriptError&) {
      if (!reader_.reachedEnd() || atSourceEnd_) {
        throw;
      }
    }
    if (read && (!reader_.reachedEnd() || atSourceEnd_)) {
      begin_ += reader_.offset();
      line_ = reader_.line();
      return true;
    }
    // The statement, or its error, may go on in bytes not read yet.
    refill();
  }
}

}  // namespace ddhost
