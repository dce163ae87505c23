#include "Png.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
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

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Nothing with a destructor lives in this frame, so libpng's longjmp out of
// it skips no cleanup: the callers' objects own everything.
bool encode(png_structp png, png_infop info, std::FILE* file, png_bytep* rows, int width, int height) {
  if (setjmp(png_jmpbuf(png)) != 0) {
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

void writePng(const Picture& picture, const ReplacementFile& file) {
  const std::string failed = "cannot write " + file.target().string() + ": ";
  std::unique_ptr<std::FILE, FileCloser> stream(std::fopen(file.temporaryPath().c_str(), "wb"));
  if (!stream) {
    throw std::runtime_error(failed + std::strerror(errno));
  }
  std::vector<png_bytep> rows(static_cast<std::size_t>(picture.height));
  const auto stride = static_cast<std::size_t>(picture.width) * 3;
  for (std::size_t y = 0; y < rows.size(); ++y) {
    // libpng takes non-const rows but only reads them when writing.
    rows[y] = const_cast<png_bytep>(picture.rgb.data() + y * stride);
  }
  ErrorText error;
  {
    PngWriteStruct writer(error);
    if (!encode(writer.png(), writer.info(), stream.get(), rows.data(), picture.width, picture.height)) {
      throw std::runtime_error(failed + error.text);
    }
  }
  if (std::fclose(stream.release()) != 0) {
    throw std::runtime_error(failed + std::strerror(errno));
  }
}

}  // namespace ddhost
