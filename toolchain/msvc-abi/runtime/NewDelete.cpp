// The replaceable global allocation functions, linked into each module as
// MSVC does: malloc and free of the shared C runtime, with the new handler.
#include <malloc.h>
#include <new>
#include <stdlib.h>

extern "C" _ACRTIMP int __cdecl _callnewh(size_t);

void* __cdecl operator new(size_t size) {
    for (;;) {
        if (void* const block = malloc(size == 0 ? 1 : size)) {
            return block;
        }
        if (_callnewh(size) == 0) {
            throw std::bad_alloc();
        }
    }
}

void* __cdecl operator new[](size_t size) {
    return operator new(size);
}

void* __cdecl operator new(size_t size, std::nothrow_t const&) noexcept {
    try {
        return operator new(size);
    } catch (...) {
        return nullptr;
    }
}

void* __cdecl operator new[](size_t size, std::nothrow_t const&) noexcept {
    try {
        return operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

void __cdecl operator delete(void* block) noexcept {
    free(block);
}
void __cdecl operator delete[](void* block) noexcept {
    free(block);
}
void __cdecl operator delete(void* block, std::nothrow_t const&) noexcept {
    free(block);
}
void __cdecl operator delete[](void* block, std::nothrow_t const&) noexcept {
    free(block);
}
void __cdecl operator delete(void* block, size_t) noexcept {
    free(block);
}
void __cdecl operator delete[](void* block, size_t) noexcept {
    free(block);
}

void* __cdecl operator new(size_t size, std::align_val_t alignment) {
    for (;;) {
        if (void* const block = _aligned_malloc(size == 0 ? 1 : size, static_cast<size_t>(alignment))) {
            return block;
        }
        if (_callnewh(size) == 0) {
            throw std::bad_alloc();
        }
    }
}
void* __cdecl operator new[](size_t size, std::align_val_t alignment) {
    return operator new(size, alignment);
}
void* __cdecl operator new(size_t size, std::align_val_t alignment, std::nothrow_t const&) noexcept {
    try {
        return operator new(size, alignment);
    } catch (...) {
        return nullptr;
    }
}
void* __cdecl operator new[](size_t size, std::align_val_t alignment, std::nothrow_t const&) noexcept {
    try {
        return operator new[](size, alignment);
    } catch (...) {
        return nullptr;
    }
}
void __cdecl operator delete(void* block, std::align_val_t) noexcept {
    _aligned_free(block);
}
void __cdecl operator delete[](void* block, std::align_val_t) noexcept {
    _aligned_free(block);
}
void __cdecl operator delete(void* block, std::align_val_t, std::nothrow_t const&) noexcept {
    _aligned_free(block);
}
void __cdecl operator delete[](void* block, std::align_val_t, std::nothrow_t const&) noexcept {
    _aligned_free(block);
}
void __cdecl operator delete(void* block, size_t, std::align_val_t) noexcept {
    _aligned_free(block);
}
void __cdecl operator delete[](void* block, size_t, std::align_val_t) noexcept {
    _aligned_free(block);
}
