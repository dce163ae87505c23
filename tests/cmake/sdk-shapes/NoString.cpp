#include "Api.h"

SHAPE_API int shapeTwice(int value) { return 2 * value; }
