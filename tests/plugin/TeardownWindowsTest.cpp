// The plug-in's unload teardown on Windows. The plug-in's allocations are
// out of this program's reach: with MinGW it takes operator new and delete
// from the C++ runtime DLL; with MSVC it links them statically, over the C
// runtime DLL's malloc and free. So the program puts its own in the
// plug-in's import table once it is loaded, and watches the loader its
// first node creates go at the unload.
#include <standin/ddimage/Graph.h>
#include <standin/ddimage/Registry.h>
#include <standin/lumox/Transcript.h>

#include "PluginBlocks.h"

#include <harness/TestPaths.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <cstddef>
#include <cstring>

namespace {

testsupport::PluginBlocks blocks;

#if defined(_MSC_VER)
using Malloc = void* (*)(std::size_t);
using Free = void (*)(void*);

Malloc originalMalloc = nullptr;
Free originalFree = nullptr;

void* watchedMalloc(std::size_t size) {
  void* block = originalMalloc(size);
  blocks.add(block);
  return block;
}

void watchedFree(void* block) {
  blocks.remove(block);
  originalFree(block);
}
#else
using New = void* (*)(std::size_t);
using Delete = void (*)(void*);
using SizedDelete = void (*)(void*, std::size_t);

New originalNew = nullptr;
New originalNewArray = nullptr;
Delete originalDelete = nullptr;
Delete originalDeleteArray = nullptr;
SizedDelete originalSizedDelete = nullptr;
SizedDelete originalSizedDeleteArray = nullptr;

void* watchedNew(std::size_t size) {
  void* block = originalNew(size);
  blocks.add(block);
  return block;
}

void* watchedNewArray(std::size_t size) {
  void* block = originalNewArray(size);
  blocks.add(block);
  return block;
}

void watchedDelete(void* block) {
  blocks.remove(block);
  originalDelete(block);
}

void watchedDeleteArray(void* block) {
  blocks.remove(block);
  originalDeleteArray(block);
}

void watchedSizedDelete(void* block, std::size_t size) {
  blocks.remove(block);
  originalSizedDelete(block, size);
}

void watchedSizedDeleteArray(void* block, std::size_t size) {
  blocks.remove(block);
  originalSizedDeleteArray(block, size);
}

#endif

template <class Function>
void replace(ULONGLONG& slot, Function& original, Function watched) {
  original = reinterpret_cast<Function>(slot);
  DWORD protection = 0;
  VirtualProtect(&slot, sizeof slot, PAGE_READWRITE, &protection);
  slot = reinterpret_cast<ULONGLONG>(watched);
  VirtualProtect(&slot, sizeof slot, protection, &protection);
}

// Points the module's imports of the allocation functions at the ones
// above; answers how many it replaced.
int watchAllocations(HMODULE module) {
  auto* base = reinterpret_cast<unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  int replaced = 0;
  for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       library->Name != 0; ++library) {
    const DWORD namesAt = library->OriginalFirstThunk != 0 ? library->OriginalFirstThunk : library->FirstThunk;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA64*>(base + namesAt);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA64*>(base + library->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if ((names->u1.Ordinal & IMAGE_ORDINAL_FLAG64) != 0) {
        continue;
      }
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      const char* name = reinterpret_cast<const char*>(byName->Name);
      ULONGLONG& slot = slots->u1.Function;
#if defined(_MSC_VER)
      if (std::strcmp(name, "malloc") == 0) {
        replace(slot, originalMalloc, &watchedMalloc);
      } else if (std::strcmp(name, "free") == 0) {
        replace(slot, originalFree, &watchedFree);
      } else {
        continue;
      }
#else
      if (std::strcmp(name, "_Znwy") == 0) {
        replace(slot, originalNew, &watchedNew);
      } else if (std::strcmp(name, "_Znay") == 0) {
        replace(slot, originalNewArray, &watchedNewArray);
      } else if (std::strcmp(name, "_ZdlPv") == 0) {
        replace(slot, originalDelete, &watchedDelete);
      } else if (std::strcmp(name, "_ZdaPv") == 0) {
        replace(slot, originalDeleteArray, &watchedDeleteArray);
      } else if (std::strcmp(name, "_ZdlPvy") == 0) {
        replace(slot, originalSizedDelete, &watchedSizedDelete);
      } else if (std::strcmp(name, "_ZdaPvy") == 0) {
        replace(slot, originalSizedDeleteArray, &watchedSizedDeleteArray);
      } else {
        continue;
      }
#endif
      ++replaced;
    }
  }
  return replaced;
}

TEST(PluginTeardown, UnloadingThePluginDeletesItsLoader) {
  standin::lumox::reset();
  {
    standin::ddimage::PluginLibrary plugin(testsupport::pluginFile().string());
    const HMODULE module = GetModuleHandleW(testsupport::pluginFile().filename().wstring().c_str());
    ASSERT_NE(module, nullptr);
    ASSERT_GE(watchAllocations(module), 2) << "the plug-in imports no allocation functions";
    {
      standin::ddimage::Graph graph;
      graph.create("LumoxIndirect");
    }
    // The node is gone; the loader it created stays until the unload.
    ASSERT_GT(blocks.live(), 0) << "the plug-in's allocations are not seen";
  }
  EXPECT_FALSE(blocks.overflowed());
  EXPECT_EQ(blocks.live(), 0) << "the unload left the plug-in's loader behind";
  standin::lumox::reset();
}

}  // namespace
