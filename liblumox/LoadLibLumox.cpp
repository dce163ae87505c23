// Sets the renderer library up once per process, from the plug-in's location.
#include <liblumox/Handoff.h>
#include <liblumox/OVSingleton.h>
#include <liblumox/SetEnv.h>

#include <Lumox/Lumox.h>

#if defined(_WIN32)
#  include <boost/algorithm/string/replace.hpp>
#endif

#include <atomic>
#include <mutex>
#include <string>

namespace liblumox {

namespace {

// The install root is the parent of the plug-in's folder; the library is
// expected at bin/Lumox.dll below it. Nothing is added or removed besides.
std::string libraryPathFor(const std::string& pluginPath) {
  const std::string::size_type p1 = pluginPath.rfind('/');
  const std::string head = p1 == std::string::npos ? pluginPath : pluginPath.substr(0, p1);
  const std::string::size_type p2 = head.rfind('/');
  const std::string root = p2 == std::string::npos ? std::string() : pluginPath.substr(0, p2 + 1);
  return root + "bin/Lumox.dll";
}

// The library may not be C++: its answer is one byte, and any byte but 0
// means success. Read as a bool, a byte other than 0 or 1 is undefined (an
// optimiser may test bit 0 alone), so the call goes through a function type
// that answers the byte itself. Both x86-64 calling conventions return the
// two types alike, in the result register's low byte.
bool initialiseRenderMan() {
  using ByteAnswer = unsigned char (*)();
  // Through the generic function pointer type, which converts to any other
  // without a warning.
  const auto initialise = reinterpret_cast<ByteAnswer>(reinterpret_cast<void (*)()>(&Lumox_initLumoxRenderMan));
  return initialise() != 0;
}

class LoadLibLumox : public OVSingleton<LoadLibLumox> {
public:
  ~LoadLibLumox() override {}

  // True once the library is initialised; until then every call runs the
  // whole set-up again.
  bool load(const std::string& pluginPath) {
    if (initialized.load(std::memory_order_acquire)) {
      return true;
    }
    // Nodes may be constructed on several threads: one set-up at a time.
    const std::lock_guard<std::mutex> lock(setupMutex);
    // GCOVR_EXCL_START: only another thread finishing the set-up while this
    // one waits for the lock comes here, and only timing decides that.
    if (initialized.load(std::memory_order_relaxed)) {
      return true;
    }
    // GCOVR_EXCL_STOP
    const std::string libraryPath = libraryPathFor(pluginPath);
    Lumox_initPath(libraryPath.c_str());
    const bool ok = initialiseRenderMan();

    setEnv("DELIGHT_CONF", nullptr);
    try {
      setEnv("DELIGHT", Lumox_homeDir());
    } catch (...) {
      // The renderer's home is optional; the library works without it.
    }
    initialized.store(ok, std::memory_order_release);
    return ok;
  }

private:
  std::atomic<bool> initialized{false};
  std::mutex setupMutex;
};

}  // namespace

void handOff(const char* hostPluginPath) {
#if defined(_WIN32)
  // Windows hosts may give either separator; elsewhere a backslash is an
  // ordinary character of a file name and is kept.
  const std::string pluginPath =
      boost::algorithm::replace_all_copy(std::string(hostPluginPath != nullptr ? hostPluginPath : ""), "\\", "/");
#else
  const std::string pluginPath(hostPluginPath != nullptr ? hostPluginPath : "");
#endif
  OVSingleton<LoadLibLumox>::instance().load(pluginPath);
}

void destroyInstance() {
  OVSingleton<LoadLibLumox>::destroy();
}

}  // namespace liblumox
