// The global allocation functions as MSVC declares them. The module's own
// start-up part defines the replaceable ones, as MSVC links them statically.
#pragma once
#include <vcruntime.h>

#ifdef __cplusplus
#pragma pack(push, _CRT_PACKING)
extern "C++" {
namespace std {
#ifdef __cpp_aligned_new
enum class align_val_t : size_t {};
#endif
struct nothrow_t {
    explicit nothrow_t() = default;
};
extern nothrow_t const nothrow;
} // namespace std

[[nodiscard]] _VCRT_ALLOCATOR void* __CRTDECL operator new(size_t _Size);
[[nodiscard]] _VCRT_ALLOCATOR void* __CRTDECL operator new(size_t _Size, std::nothrow_t const&) noexcept;
[[nodiscard]] _VCRT_ALLOCATOR void* __CRTDECL operator new[](size_t _Size);
[[nodiscard]] _VCRT_ALLOCATOR void* __CRTDECL operator new[](size_t _Size, std::nothrow_t const&) noexcept;
void __CRTDECL operator delete(void* _Block) noexcept;
void __CRTDECL operator delete(void* _Block, std::nothrow_t const&) noexcept;
void __CRTDECL operator delete[](void* _Block) noexcept;
void __CRTDECL operator delete[](void* _Block, std::nothrow_t const&) noexcept;
void __CRTDECL operator delete(void* _Block, size_t _Size) noexcept;
void __CRTDECL operator delete[](void* _Block, size_t _Size) noexcept;
#ifdef __cpp_aligned_new
[[nodiscard]] _VCRT_ALLOCATOR void* __CRTDECL operator new(size_t _Size, std::align_val_t _Al);
[[nodiscard]] _VCRT_ALLOCATOR void* __CRTDECL operator new(size_t _Size, std::align_val_t _Al, std::nothrow_t const&) noexcept;
[[nodiscard]] _VCRT_ALLOCATOR void* __CRTDECL operator new[](size_t _Size, std::align_val_t _Al);
[[nodiscard]] _VCRT_ALLOCATOR void* __CRTDECL operator new[](size_t _Size, std::align_val_t _Al, std::nothrow_t const&) noexcept;
void __CRTDECL operator delete(void* _Block, std::align_val_t _Al) noexcept;
void __CRTDECL operator delete(void* _Block, std::align_val_t _Al, std::nothrow_t const&) noexcept;
void __CRTDECL operator delete[](void* _Block, std::align_val_t _Al) noexcept;
void __CRTDECL operator delete[](void* _Block, std::align_val_t _Al, std::nothrow_t const&) noexcept;
void __CRTDECL operator delete(void* _Block, size_t _Size, std::align_val_t _Al) noexcept;
void __CRTDECL operator delete[](void* _Block, size_t _Size, std::align_val_t _Al) noexcept;
#endif

#ifndef __PLACEMENT_NEW_INLINE
#define __PLACEMENT_NEW_INLINE
[[nodiscard]] inline void* __CRTDECL operator new(size_t, void* _Where) noexcept {
    return _Where;
}
inline void __CRTDECL operator delete(void*, void*) noexcept {}
#endif
#ifndef __PLACEMENT_VEC_NEW_INLINE
#define __PLACEMENT_VEC_NEW_INLINE
[[nodiscard]] inline void* __CRTDECL operator new[](size_t, void* _Where) noexcept {
    return _Where;
}
inline void __CRTDECL operator delete[](void*, void*) noexcept {}
#endif
} // extern "C++"
#pragma pack(pop)
#endif
