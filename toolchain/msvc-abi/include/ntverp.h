// Boost reads the SDK's build number from here.
#pragma once
#define VER_PRODUCTBUILD 10011
#define VER_PRODUCTBUILD_QFE 16384
#define VER_PRODUCTMAJORVERSION 10
#define VER_PRODUCTMINORVERSION 0
