#pragma once

#if defined(_WIN32)
#define SHAPE_API __declspec(dllexport)
#else
#define SHAPE_API __attribute__((visibility("default")))
#endif
