// A plug-in file that imports the absent DLL itself.
extern "C" __declspec(dllimport) int absentLibraryValue();

extern "C" __declspec(dllexport) int pluginValue() {
  return absentLibraryValue();
}
