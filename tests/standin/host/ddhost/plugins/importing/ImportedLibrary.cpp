// A library that only a plug-in imports: ddhost loads it with the plug-in,
// after its outputs were checked.
#if defined(_WIN32)
#  define IMPORTED_API extern "C" __declspec(dllexport)
#else
#  define IMPORTED_API extern "C" __attribute__((visibility("default")))
#endif

IMPORTED_API int importedLibraryValue() {
  return 42;
}
