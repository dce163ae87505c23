// What a node's construction tells the renderer library loader.
#pragma once

namespace liblumox {

// Sets the renderer library up from the plug-in's file path as the host
// recorded it (slash separators, and on Windows backslashes too; null
// counts as empty). Runs the set-up until it has once succeeded in the
// process, then nothing.
void handOff(const char* hostPluginPath);

// Deletes the loader; registered to run when the plug-in unloads.
void destroyInstance();

}  // namespace liblumox
