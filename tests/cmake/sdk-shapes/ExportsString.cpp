#include "Api.h"

#include <string>

SHAPE_API std::string shapeName(const std::string& prefix) { return prefix + "shape"; }
