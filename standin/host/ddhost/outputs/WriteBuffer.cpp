#include "WriteBuffer.h"

#include <cstring>

namespace ddhost {

WriteBuffer::WriteBuffer(native::Handle handle) : handle_(handle), buffer_(1u << 16) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

WriteBuffer::~WriteBuffer() {
  close();
}

bool WriteBuffer::drain() {
  if (error_.empty() && pptr() != pbase()) {
    error_ = native::writeAll(handle_, pbase(), static_cast<std::size_t>(pptr() - pbase()));
  }
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return error_.empty();
}

std::string WriteBuffer::close() {
  if (handle_ == native::noHandle()) {
    return {};
  }
  std::string reason = native::closeHandle(handle_);
  handle_ = native::noHandle();
  return reason;
}

WriteBuffer::int_type WriteBuffer::overflow(int_type c) {
  if (!drain()) {
    return traits_type::eof();
  }
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

std::streamsize WriteBuffer::xsputn(const char* data, std::streamsize size) {
  const auto n = static_cast<std::size_t>(size);
  if (n <= static_cast<std::size_t>(epptr() - pptr())) {
    std::memcpy(pptr(), data, n);
    pbump(static_cast<int>(n));
    return size;
  }
  if (!drain()) {
    return 0;
  }
  if (n < buffer_.size()) {
    std::memcpy(pptr(), data, n);
    pbump(static_cast<int>(n));
    return size;
  }
  error_ = native::writeAll(handle_, data, n);
  return error_.empty() ? size : 0;
}

int WriteBuffer::sync() {
  return drain() ? 0 : -1;
}

}  // namespace ddhost
