// RIB text for the scene calls the stand-in renderer receives.
#pragma once

#include <Lumox/Lumox.h>
#include <standin/lumox/RibOutput.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace standin {
namespace lumox {

// The shortest text that reads back to the same float; locale-independent.
std::string ribFloat(float value);
// Appends `bytes` as ribString() forms them.
void appendRibString(std::string& text, std::string_view bytes);

// Each call is written straight into a buffer that goes to the stream in
// large blocks; flush() hands over what is left. What is not flushed when
// the writer goes is dropped: the stream may be gone by then.
class RibWriter {
public:
  // Writes the RIB header.
  explicit RibWriter(std::ostream& out);
  RibWriter(const RibWriter&) = delete;
  RibWriter& operator=(const RibWriter&) = delete;

  void line(std::string_view text);
  void transformBegin();
  void transformEnd();
  void lightSource(const char* shader, int count, const LxToken tokens[], const LxPointer values[]);
  void shader(const char* shader, const char* handle, int count, const LxToken tokens[],
              const LxPointer values[]);
  void flush();

private:
  // A comment line for each parameter that cannot be written (they come
  // before the call's line), then the call's line: what `head` writes, and
  // the parameters that can be written.
  template <typename Head>
  void declaration(const Head& head, int count, const LxToken tokens[], const LxPointer values[]);
  void indent();
  void endLine();
  void beginComment();
  void drainIfFull();

  std::ostream& out_;
  std::string buffer_;
  int depth_ = 0;
  std::uint32_t lightSources_ = 0;
};

}  // namespace lumox
}  // namespace standin
