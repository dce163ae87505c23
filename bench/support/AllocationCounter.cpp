// Replaces every form of the global operator new and delete. Shared
// libraries resolve them to the program's definitions, so their
// allocations are counted as well.
#include <bench/AllocationCounter.h>

#include <standin/lumox/RibOutput.h>

#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

namespace {

// Per thread: a benchmark reads its own thread's count, and an atomic
// increment would add its own cost to every allocation measured.
thread_local std::uint64_t allocationCount = 0;

void* allocate(std::size_t size) {
  ++allocationCount;
  if (size == 0) {
    size = 1;
  }
  for (;;) {
    if (void* p = std::malloc(size)) {
      return p;
    }
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) {
      throw std::bad_alloc();
    }
    handler();
  }
}

void* allocateAligned(std::size_t size, std::align_val_t alignment) {
  ++allocationCount;
  const auto align = static_cast<std::size_t>(alignment);
  // aligned_alloc wants a whole number of alignments.
  const std::size_t rounded = size == 0 ? align : (size + align - 1) / align * align;
  for (;;) {
    if (void* p = std::aligned_alloc(align, rounded)) {
      return p;
    }
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) {
      throw std::bad_alloc();
    }
    handler();
  }
}

template <class F>
void* orNull(F&& f) noexcept {
  try {
    return f();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

namespace benchsupport {

std::uint64_t allocations() {
  return allocationCount;
}

void requireLibraryAllocationsCounted() {
  const std::uint64_t before = allocations();
  // Built inside the library: longer than any small-string buffer.
  const std::string text = standin::lumox::ribString(std::string(200, 'x'));
  if (allocations() == before || text.size() < 200) {
    throw std::runtime_error(
        "allocations inside the shared libraries are not counted (operator new is not interposed); "
        "the allocation figures would be wrong");
  }
}

}  // namespace benchsupport

void* operator new(std::size_t size) {
  return allocate(size);
}
void* operator new[](std::size_t size) {
  return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return orNull([size] { return allocate(size); });
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return orNull([size] { return allocate(size); });
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return allocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return allocateAligned(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return orNull([size, alignment] { return allocateAligned(size, alignment); });
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return orNull([size, alignment] { return allocateAligned(size, alignment); });
}

void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(p);
}
