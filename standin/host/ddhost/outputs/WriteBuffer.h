// A stream buffer in front of an open file: buffers the writes and keeps
// the first failure's reason; after one, nothing more is written.
#pragma once

#include "NativeFile.h"

#include <streambuf>
#include <string>
#include <vector>

namespace ddhost {

class WriteBuffer : public std::streambuf {
public:
  explicit WriteBuffer(native::Handle handle);
  ~WriteBuffer() override;
  WriteBuffer(const WriteBuffer&) = delete;
  WriteBuffer& operator=(const WriteBuffer&) = delete;

  const std::string& error() const { return error_; }
  native::Handle handle() const { return handle_; }

  // Writes out what is buffered; false once anything failed.
  bool drain();
  // The reason the handle could not be closed cleanly, or "".
  std::string close();

protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* data, std::streamsize size) override;
  int sync() override;

private:
  native::Handle handle_;
  std::vector<char> buffer_;
  std::string error_;
};

}  // namespace ddhost
