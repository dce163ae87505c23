#include "Api.h"

#include <string>

// std::string inside only: its members come from libstdc++.
SHAPE_API int shapeFind(const char* text, const char* part) {
  std::string joined(text);
  joined += part;
  joined.insert(0, part);
  return static_cast<int>(joined.find(part, 1));
}
