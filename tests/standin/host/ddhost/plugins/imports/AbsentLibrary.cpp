// A DLL that is built but never put where the DLL search looks.
extern "C" __declspec(dllexport) int absentLibraryValue() {
  return 7;
}
