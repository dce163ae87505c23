// The few internals of Microsoft's C runtime build that the C++ library's
// sources compiled here reach for.
#pragma once
#include <stdlib.h>

#ifdef __cplusplus
#include <new>

// Frees with free() what the C runtime allocated with malloc().
template <class _Ty>
class __crt_unique_heap_ptr {
public:
    __crt_unique_heap_ptr() noexcept = default;
    explicit __crt_unique_heap_ptr(_Ty* const _Ptr) noexcept : _Ptr_(_Ptr) {}
    __crt_unique_heap_ptr(__crt_unique_heap_ptr&& _Other) noexcept : _Ptr_(_Other.release()) {}
    __crt_unique_heap_ptr& operator=(__crt_unique_heap_ptr&& _Other) noexcept {
        if (this != &_Other) {
            free(_Ptr_);
            _Ptr_ = _Other.release();
        }
        return *this;
    }
    ~__crt_unique_heap_ptr() {
        free(_Ptr_);
    }
    _Ty* get() const noexcept {
        return _Ptr_;
    }
    bool malloc(size_t const _Count) noexcept {
        free(_Ptr_);
        _Ptr_ = static_cast<_Ty*>(::malloc(_Count * sizeof(_Ty)));
        return _Ptr_ != nullptr;
    }
    _Ty* release() noexcept {
        _Ty* const _Result = _Ptr_;
        _Ptr_              = nullptr;
        return _Result;
    }
    explicit operator bool() const noexcept {
        return _Ptr_ != nullptr;
    }

private:
    _Ty* _Ptr_ = nullptr;
};

#define _malloc_crt_t(_Ty, _Count) __crt_unique_heap_ptr<_Ty>(static_cast<_Ty*>(malloc(sizeof(_Ty) * (_Count))))
#endif
