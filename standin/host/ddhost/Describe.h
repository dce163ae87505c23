// A node class's panel in text, for users without the host's interface.
#pragma once

#include <string>

namespace ddhost {

// Builds a node of `className` in a graph of its own, asks it for its
// panel, and lays out one line per control it declared: name, label, type
// (with its type and storage codes), default value, range, flags, tooltip;
// after a header line. Throws std::invalid_argument, naming the known
// classes and `whereClassesComeFrom`, for a class no plug-in registered.
std::string describeClass(const std::string& className, const std::string& whereClassesComeFrom);

}  // namespace ddhost
