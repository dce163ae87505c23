// What every module of MSVC's ABI holds of type_info: the virtual table its
// type descriptors point at, its destructor, and the list of the names
// name() has made.
#include "Startup.h"

#include <typeinfo>
#include <windows.h>

extern "C" {
_VCRTIMP void __cdecl __std_type_info_destroy_list(__type_info_node*);
}

// vcruntime140 treats the root as an interlocked singly linked list head.
struct __type_info_node {
    SLIST_HEADER header;
};
extern "C" __type_info_node __type_info_root_node = {};

type_info::~type_info() noexcept {}

namespace {
// The scalar deleting destructor, the table's one slot. Type descriptors are
// static data: nothing ever deletes one.
void* __cdecl typeInfoDeletingDestructor(type_info* self, unsigned) {
    return self;
}
} // namespace

extern "C" void* const lumox_crt_type_info_vftable[1] __asm__("??_7type_info@@6B@");
extern "C" void* const lumox_crt_type_info_vftable[1] = {reinterpret_cast<void*>(&typeInfoDeletingDestructor)};

namespace lumox_crt {
void releaseTypeNames() {
    __std_type_info_destroy_list(&__type_info_root_node);
}
} // namespace lumox_crt
