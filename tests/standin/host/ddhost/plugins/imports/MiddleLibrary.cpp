// A DLL that imports the absent one.
extern "C" __declspec(dllimport) int absentLibraryValue();

extern "C" __declspec(dllexport) int middleLibraryValue() {
  return absentLibraryValue() + 1;
}
