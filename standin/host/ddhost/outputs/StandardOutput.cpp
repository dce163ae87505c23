#include <ddhost/StandardOutput.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#if defined(_WIN32)
#  include <fcntl.h>
#  include <io.h>
#else
#  include <unistd.h>
#endif

namespace ddhost {

std::size_t HeldOutput::size() const {
  if (blocks_.empty()) {
    return 0;
  }
  return (blocks_.size() - 1) * kBlock + static_cast<std::size_t>(pptr() - pbase());
}

bool HeldOutput::grow() {
  if (incomplete_) {
    return false;
  }
  try {
    // The slot first: the block is then never lost between the two.
    if (blocks_.size() == blocks_.capacity()) {
      blocks_.reserve(blocks_.size() * 2 + 1);
    }
    blocks_.push_back(std::unique_ptr<char[]>(new char[kBlock]));
  } catch (const std::bad_alloc&) {
    incomplete_ = true;
    // Every later write fails too, rather than leaving a hole.
    setp(nullptr, nullptr);
    return false;
  }
  char* block = blocks_.back().get();
  setp(block, block + kBlock);
  return true;
}

HeldOutput::int_type HeldOutput::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) {
    return traits_type::not_eof(c);
  }
  if (pptr() == epptr() && !grow()) {
    return traits_type::eof();
  }
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

std::streamsize HeldOutput::xsputn(const char* data, std::streamsize size) {
  std::streamsize done = 0;
  while (done < size) {
    if (pptr() == epptr() && !grow()) {
      break;
    }
    const std::streamsize room = std::min<std::streamsize>(epptr() - pptr(), size - done);
    std::memcpy(pptr(), data + done, static_cast<std::size_t>(room));
    // pbump takes an int; a block is far smaller.
    pbump(static_cast<int>(room));
    done += room;
  }
  return done;
}

void HeldOutput::check() const {
  if (incomplete_) {
    throw std::runtime_error("cannot write standard output: memory ran out holding it (" + std::to_string(size()) +
                             " bytes held); nothing was written to it");
  }
}

void HeldOutput::writeToStandardOutput() const {
  check();
#if defined(_WIN32)
  // Windows would otherwise turn "\n" into "\r\n": the RIB must be the same
  // bytes on every platform.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::size_t left = size();
  for (const std::unique_ptr<char[]>& block : blocks_) {
    const std::size_t length = std::min(left, kBlock);
    left -= length;
    if (std::fwrite(block.get(), 1, length, stdout) != length) {
      throw std::runtime_error(std::string("cannot write standard output: ") + std::strerror(errno));
    }
  }
  if (std::fflush(stdout) != 0) {
    throw std::runtime_error(std::string("cannot write standard output: ") + std::strerror(errno));
  }
}

}  // namespace ddhost
