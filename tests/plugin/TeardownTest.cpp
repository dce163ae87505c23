// The plug-in's unload teardown: the loader its first node creates is gone
// once the plug-in is unloaded. Nothing of the teardown reaches the renderer
// library, so this program watches the heap instead: on Linux the plug-in's
// operator new is the one defined here.
#include <standin/ddimage/Graph.h>
#include <standin/ddimage/Registry.h>
#include <standin/lumox/Transcript.h>

#include "PluginBlocks.h"

#include <harness/TestPaths.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

testsupport::PluginBlocks& pluginBlocks() {
  static testsupport::PluginBlocks blocks;
  return blocks;
}

std::atomic<bool> watching{false};

bool inPlugin(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
    return false;
  }
  const char* name = std::strrchr(info.dli_fname, '/');
  return std::strcmp(name != nullptr ? name + 1 : info.dli_fname, "LumoxIndirect.so") == 0;
}

void* allocate(std::size_t size, const void* caller) {
  void* block = std::malloc(size != 0 ? size : 1);
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  if (watching.load() && inPlugin(caller)) {
    pluginBlocks().add(block);
  }
  return block;
}

void release(void* block) noexcept {
  if (block != nullptr) {
    pluginBlocks().remove(block);
    std::free(block);
  }
}

TEST(PluginTeardown, UnloadingThePluginDeletesItsLoader) {
  standin::lumox::reset();
  watching = true;
  {
    standin::ddimage::PluginLibrary plugin(testsupport::pluginFile().string());
    {
      standin::ddimage::Graph graph;
      graph.create("LumoxIndirect");
    }
    // The node is gone; the loader it created stays until the unload.
    ASSERT_GT(pluginBlocks().live(), 0) << "the plug-in's allocations are not seen";
  }
  watching = false;
  EXPECT_FALSE(pluginBlocks().overflowed());
  EXPECT_EQ(pluginBlocks().live(), 0) << "the unload left the plug-in's loader behind";
  standin::lumox::reset();
}

}  // namespace

// noinline: the caller's address has to be the plug-in's code.
__attribute__((noinline)) void* operator new(std::size_t size) {
  return allocate(size, __builtin_return_address(0));
}

__attribute__((noinline)) void* operator new[](std::size_t size) {
  return allocate(size, __builtin_return_address(0));
}

void operator delete(void* block) noexcept {
  release(block);
}

void operator delete[](void* block) noexcept {
  release(block);
}

void operator delete(void* block, std::size_t) noexcept {
  release(block);
}

void operator delete[](void* block, std::size_t) noexcept {
  release(block);
}
