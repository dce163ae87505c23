#include "Api.h"

#include <string>

SHAPE_API std::string shapeOtherName(const std::string& prefix) { return prefix + "other"; }
