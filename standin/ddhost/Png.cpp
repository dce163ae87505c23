#include "Png.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <stdexcept>

namespace ddhost {

namespace {

// libpng reports errors by longjmp; the message is kept here for after it.
struct ErrorText {
  char text[256] = "";
};

void onError(png_structp png, png_const_charp message) {
  auto* error = static_cast<ErrorText*>(png_get_error_ptr(png));
  std::snprintf(error->text, sizeof error->text, "%s", message != nullptr ? message : "libpng error");
  png_longjmp(png, 1);
}

void onWarning(png_structp /*png*/, png_const_charp /*message*/) {}

class PngWriteStruct {
public:
  explicit PngWriteStruct(ErrorText& error) {
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, onError, onWarning);
    if (png_ != nullptr) {
      info_ = png_create_info_struct(png_);
    }
    if (png_ == nullptr || info_ == nullptr) {
      png_destroy_write_struct(&png_, &info_);
      throw std::runtime_error("cannot start a PNG writer");
    }
  }
  ~PngWriteStruct() { png_destroy_write_struct(&png_, &info_); }
  PngWriteStruct(const PngWriteStruct&) = delete;
  PngWriteStruct& operator=(const PngWriteStruct&) = delete;

  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

private:
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

// No exception may cross libpng's C frames: a failed write becomes a libpng
// error, raised once the handler has finished (it longjmps).
void writeBytes(png_structp png, png_bytep data, png_size_t size) {
  char failure[256] = "";
  try {
    static_cast<OutputFile*>(png_get_io_ptr(png))->write(data, size);
  } catch (const std::exception& error) {
    std::snprintf(failure, sizeof failure, "%s", error.what());
  }
  if (failure[0] != '\0') {
    png_error(png, failure);
  }
}

void flushNothing(png_structp /*png*/) {}

// Nothing with a destructor lives in this frame, so libpng's longjmp out of
// it skips no cleanup: the callers' objects own everything.
bool encode(png_structp png, png_infop info, OutputFile* file, png_bytep* rows, int width, int height) {
  if (setjmp(png_jmpbuf(png)) != 0) {
    return false;
  }
  png_set_write_fn(png, file, writeBytes, flushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

void writePng(const Picture& picture, OutputFile& file) {
  std::vector<png_bytep> rows(static_cast<std::size_t>(picture.height));
  const auto stride = static_cast<std::size_t>(picture.width) * 3;
  for (std::size_t y = 0; y < rows.size(); ++y) {
    // libpng takes non-const rows but only reads them when writing.
    rows[y] = const_cast<png_bytep>(picture.rgb.data() + y * stride);
  }
  ErrorText error;
  PngWriteStruct writer(error);
  if (!encode(writer.png(), writer.info(), &file, rows.data(), picture.width, picture.height)) {
    // A write error already names the file.
    const std::string text = error.text;
    throw std::runtime_error(text.rfind("cannot write ", 0) == 0 ? text
                                                                  : "cannot write " + file.target().string() + ": " + text);
  }
}

}  // namespace ddhost
