// The control descriptions kept for each node class, shared by the panel
// builder and the queries of ClassControls.h.
#pragma once

#include <standin/ddimage/Controls.h>

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace standin {
namespace ddimage {

using Layout = std::vector<const ControlDescription*>;

struct ClassEntry {
  bool hasLayout = false;
  Layout layout;  // set once, then only read
  // Every description of the class, never moved: controls point at them.
  std::deque<ControlDescription> descriptions;
};

struct Classes {
  std::mutex mutex;
  std::map<std::string, ClassEntry, std::less<>> byName;
};

// The process's one table.
Classes& classes();

}  // namespace ddimage
}  // namespace standin
