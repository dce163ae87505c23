// The replaceable global allocation functions, linked into each module as
// MSVC does: malloc and free of the shared C runtime, with the new handler.
// Each is defined under a name of its own and offered under the operator's
// through /alternatename, which applies only where the module defines no
// operator of its own: a program may replace any one of them, as MSVC
// allows, without a clash with this object. The start-up part asks for this
// object (Startup.h), so that the fallbacks are always known to the linker.
// They throw through C linkage: this target is built with /EHs /EHc-.
#include <malloc.h>
#include <new>
#include <stdlib.h>

extern "C" _ACRTIMP int __cdecl _callnewh(size_t);

#define LUMOX_CRT_OPERATOR(decorated, name) __pragma(comment(linker, "/alternatename:" decorated "=" #name))

namespace {
void* allocate(size_t size) {
    for (;;) {
        if (void* const block = malloc(size == 0 ? 1 : size)) {
            return block;
        }
        if (_callnewh(size) == 0) {
            throw std::bad_alloc();
        }
    }
}

void* allocateAligned(size_t size, std::align_val_t alignment) {
    for (;;) {
        if (void* const block = _aligned_malloc(size == 0 ? 1 : size, static_cast<size_t>(alignment))) {
            return block;
        }
        if (_callnewh(size) == 0) {
            throw std::bad_alloc();
        }
    }
}
} // namespace

extern "C" {
void* __cdecl lumox_crt_new(size_t size) {
    return allocate(size);
}
LUMOX_CRT_OPERATOR("??2@YAPEAX_K@Z", lumox_crt_new)

// The array and nothrow forms go through operator new, as the standard
// says, so that a program that replaces only that one is heard.
void* __cdecl lumox_crt_new_array(size_t size) {
    return operator new(size);
}
LUMOX_CRT_OPERATOR("??_U@YAPEAX_K@Z", lumox_crt_new_array)

void* __cdecl lumox_crt_new_nothrow(size_t size, std::nothrow_t const&) noexcept {
    try {
        return operator new(size);
    } catch (...) {
        return nullptr;
    }
}
LUMOX_CRT_OPERATOR("??2@YAPEAX_KAEBUnothrow_t@std@@@Z", lumox_crt_new_nothrow)

void* __cdecl lumox_crt_new_array_nothrow(size_t size, std::nothrow_t const&) noexcept {
    try {
        return operator new[](size);
    } catch (...) {
        return nullptr;
    }
}
LUMOX_CRT_OPERATOR("??_U@YAPEAX_KAEBUnothrow_t@std@@@Z", lumox_crt_new_array_nothrow)

void __cdecl lumox_crt_delete(void* block) noexcept {
    free(block);
}
LUMOX_CRT_OPERATOR("??3@YAXPEAX@Z", lumox_crt_delete)

void __cdecl lumox_crt_delete_array(void* block) noexcept {
    operator delete(block);
}
LUMOX_CRT_OPERATOR("??_V@YAXPEAX@Z", lumox_crt_delete_array)

void __cdecl lumox_crt_delete_nothrow(void* block, std::nothrow_t const&) noexcept {
    operator delete(block);
}
LUMOX_CRT_OPERATOR("??3@YAXPEAXAEBUnothrow_t@std@@@Z", lumox_crt_delete_nothrow)

void __cdecl lumox_crt_delete_array_nothrow(void* block, std::nothrow_t const&) noexcept {
    operator delete[](block);
}
LUMOX_CRT_OPERATOR("??_V@YAXPEAXAEBUnothrow_t@std@@@Z", lumox_crt_delete_array_nothrow)

void __cdecl lumox_crt_delete_sized(void* block, size_t) noexcept {
    operator delete(block);
}
LUMOX_CRT_OPERATOR("??3@YAXPEAX_K@Z", lumox_crt_delete_sized)

void __cdecl lumox_crt_delete_array_sized(void* block, size_t) noexcept {
    operator delete[](block);
}
LUMOX_CRT_OPERATOR("??_V@YAXPEAX_K@Z", lumox_crt_delete_array_sized)

void* __cdecl lumox_crt_new_aligned(size_t size, std::align_val_t alignment) {
    return allocateAligned(size, alignment);
}
LUMOX_CRT_OPERATOR("??2@YAPEAX_KW4align_val_t@std@@@Z", lumox_crt_new_aligned)

void* __cdecl lumox_crt_new_array_aligned(size_t size, std::align_val_t alignment) {
    return operator new(size, alignment);
}
LUMOX_CRT_OPERATOR("??_U@YAPEAX_KW4align_val_t@std@@@Z", lumox_crt_new_array_aligned)

void* __cdecl lumox_crt_new_aligned_nothrow(size_t size, std::align_val_t alignment, std::nothrow_t const&) noexcept {
    try {
        return operator new(size, alignment);
    } catch (...) {
        return nullptr;
    }
}
LUMOX_CRT_OPERATOR("??2@YAPEAX_KW4align_val_t@std@@AEBUnothrow_t@1@@Z", lumox_crt_new_aligned_nothrow)

void* __cdecl lumox_crt_new_array_aligned_nothrow(
    size_t size, std::align_val_t alignment, std::nothrow_t const&) noexcept {
    try {
        return operator new[](size, alignment);
    } catch (...) {
        return nullptr;
    }
}
LUMOX_CRT_OPERATOR("??_U@YAPEAX_KW4align_val_t@std@@AEBUnothrow_t@1@@Z", lumox_crt_new_array_aligned_nothrow)

void __cdecl lumox_crt_delete_aligned(void* block, std::align_val_t) noexcept {
    _aligned_free(block);
}
LUMOX_CRT_OPERATOR("??3@YAXPEAXW4align_val_t@std@@@Z", lumox_crt_delete_aligned)

void __cdecl lumox_crt_delete_array_aligned(void* block, std::align_val_t alignment) noexcept {
    operator delete(block, alignment);
}
LUMOX_CRT_OPERATOR("??_V@YAXPEAXW4align_val_t@std@@@Z", lumox_crt_delete_array_aligned)

void __cdecl lumox_crt_delete_aligned_nothrow(void* block, std::align_val_t alignment, std::nothrow_t const&) noexcept {
    operator delete(block, alignment);
}
LUMOX_CRT_OPERATOR("??3@YAXPEAXW4align_val_t@std@@AEBUnothrow_t@1@@Z", lumox_crt_delete_aligned_nothrow)

void __cdecl lumox_crt_delete_array_aligned_nothrow(
    void* block, std::align_val_t alignment, std::nothrow_t const&) noexcept {
    operator delete[](block, alignment);
}
LUMOX_CRT_OPERATOR("??_V@YAXPEAXW4align_val_t@std@@AEBUnothrow_t@1@@Z", lumox_crt_delete_array_aligned_nothrow)

void __cdecl lumox_crt_delete_aligned_sized(void* block, size_t, std::align_val_t alignment) noexcept {
    operator delete(block, alignment);
}
LUMOX_CRT_OPERATOR("??3@YAXPEAX_KW4align_val_t@std@@@Z", lumox_crt_delete_aligned_sized)

void __cdecl lumox_crt_delete_array_aligned_sized(void* block, size_t, std::align_val_t alignment) noexcept {
    operator delete[](block, alignment);
}
LUMOX_CRT_OPERATOR("??_V@YAXPEAX_KW4align_val_t@std@@@Z", lumox_crt_delete_array_aligned_sized)
}
