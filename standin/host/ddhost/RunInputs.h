// The files a run reads or runs, which no output may replace or write into.
#pragma once

#include "plugins/Plugins.h"
#include "script/ScriptFile.h"

#include <ddhost/Outputs.h>

#include <vector>

namespace ddhost {

// The script (when it is a file or a FIFO), the plug-in files, the program
// itself and every library loaded so far, and every file in the install
// tree's bin/ and plugins/ folders, whatever --plugin-dir says. Files that
// cannot be asked about are left out: nothing can replace them by a name
// that leads nowhere.
std::vector<RunInput> runInputs(const ScriptFile* script, const PluginFolder& plugins);

// The program and every library loaded now: those loaded since the outputs
// were checked (a plug-in's own imports, a driver) are inputs too.
std::vector<RunInput> loadedLibraries();

}  // namespace ddhost
