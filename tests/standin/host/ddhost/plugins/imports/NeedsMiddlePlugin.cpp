// A plug-in file that imports the absent DLL through another one.
extern "C" __declspec(dllimport) int middleLibraryValue();

extern "C" __declspec(dllexport) int pluginValue() {
  return middleLibraryValue();
}
