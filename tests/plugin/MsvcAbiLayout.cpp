// Built in the MSVC-ABI leg only: the C++ library types that cross the SDK
// (std::ostream&) and the bridge interface (std::set<std::string>*) have
// Microsoft's layouts there; libstdc++'s would be 48 and 16 bytes.
#include <cwchar>
#include <ios>
#include <set>
#include <string>

static_assert(sizeof(std::set<std::string>) == 16, "std::set is MSVC's: a node pointer and a size");
static_assert(sizeof(std::streampos) == 24, "std::streampos is MSVC's: offset, C stream position, mbstate_t");
static_assert(sizeof(std::mbstate_t) == 8, "mbstate_t is MSVC's _Mbstatet");
static_assert(sizeof(std::string) == 32, "std::string is MSVC's: a 16-byte buffer, size and capacity");
