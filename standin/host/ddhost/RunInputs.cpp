#include "RunInputs.h"

#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>

#if defined(_WIN32)
#  include <windows.h>
#  include <tlhelp32.h>
#else
#  include <link.h>
#endif

namespace ddhost {

namespace fs = std::filesystem;

namespace {

void add(std::vector<RunInput>& inputs, const std::string& what, const fs::path& file) {
  if (const std::optional<FileIdentity> identity = identityOf(file)) {
    inputs.push_back({what, *identity});
  }
}

// The files mapped into the process: the program and its libraries.
void addRunningFiles(std::vector<RunInput>& inputs) {
#if defined(_WIN32)
  wchar_t program[32768];
  const DWORD length = GetModuleFileNameW(nullptr, program, static_cast<DWORD>(std::size(program)));
  if (length > 0 && length < std::size(program)) {
    add(inputs, "the program itself", fs::path(program));
  }
  const HANDLE modules = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0);
  if (modules == INVALID_HANDLE_VALUE) {
    return;
  }
  MODULEENTRY32W module{};
  module.dwSize = sizeof module;
  for (BOOL more = Module32FirstW(modules, &module); more; more = Module32NextW(modules, &module)) {
    const fs::path file(module.szExePath);
    add(inputs, "the loaded library " + file.string(), file);
  }
  CloseHandle(modules);
#else
  // The kernel's own link: right even when the program was started by a
  // relative name or through a link.
  add(inputs, "the program itself", "/proc/self/exe");
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* data) {
        // The program itself and the kernel's vDSO come without a file name.
        if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0') {
          const fs::path file(info->dlpi_name);
          add(*static_cast<std::vector<RunInput>*>(data), "the loaded library " + file.string(), file);
        }
        return 0;
      },
      &inputs);
#endif
}

// Every file directly in `dir`: what an install puts there is run or
// loaded, by this run or the next.
void addFolder(std::vector<RunInput>& inputs, const fs::path& dir) {
  std::error_code error;
  fs::directory_iterator entries(dir, error);
  for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
    std::error_code kind;
    if (!entries->is_directory(kind)) {
      add(inputs, "the installed file " + entries->path().string(), entries->path());
    }
  }
}

}  // namespace

std::vector<RunInput> loadedLibraries() {
  std::vector<RunInput> inputs;
  addRunningFiles(inputs);
  return inputs;
}

std::vector<RunInput> runInputs(const ScriptFile* script, const PluginFolder& plugins) {
  std::vector<RunInput> inputs;
  if (script != nullptr && script->identity()) {
    inputs.push_back({"the script", *script->identity()});
  }
  for (const fs::path& file : plugins.files) {
    add(inputs, "the plug-in file " + file.string(), file);
  }
  addRunningFiles(inputs);
  const fs::path bin = programDir();
  addFolder(inputs, bin);
  addFolder(inputs, bin.parent_path() / "plugins");
  return inputs;
}

}  // namespace ddhost
