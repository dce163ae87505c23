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

class RibWriter {
public:
  // Writes the RIB header to `out`.
  explicit RibWriter(std::ostream& out);

  void line(const std::string& text);
  void transformBegin();
  void transformEnd();
  void lightSource(const char* shader, int count, const LxToken tokens[], const LxPointer values[]);
  void shader(const char* shader, const char* handle, int count, const LxToken tokens[],
              const LxPointer values[]);
  void flush() { out_.flush(); }

private:
  // Appends the parameters to `head`; anything that cannot be written as a
  // parameter becomes a comment line before the call's own line.
  void declaration(std::string head, int count, const LxToken tokens[], const LxPointer values[]);
  void comment(const std::string& text);

  std::ostream& out_;
  int depth_ = 0;
  std::uint32_t lightSources_ = 0;
};

}  // namespace lumox
}  // namespace standin
