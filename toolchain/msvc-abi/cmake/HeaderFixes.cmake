# Copies of Wine's headers with what breaks MSVC's ABI or clang-cl fixed,
# written to `out_dir`, which the toolchain searches before Wine's own.
# Each fix must apply: a Wine whose header changed stops the build here.
function(lumox_msvc_abi_fix_header wine_dir out_dir file from to)
  file(READ ${wine_dir}/${file} text)
  string(FIND "${text}" "${from}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${wine_dir}/${file} no longer holds the text this leg fixes:\n${from}")
  endif()
  string(REPLACE "${from}" "${to}" text "${text}")
  get_filename_component(name ${file} NAME)
  set(target ${out_dir}/${name})
  if(EXISTS ${target})
    file(READ ${target} old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE ${target} "${text}")
endfunction()

function(lumox_msvc_abi_fix_headers wine_dir out_dir)
  file(MAKE_DIRECTORY ${out_dir})
  # MSVC's mbstate_t is the 8-byte _Mbstatet, part of std::streampos.
  lumox_msvc_abi_fix_header(${wine_dir} ${out_dir} msvcrt/wchar.h
    "typedef int mbstate_t;" "typedef _Mbstatet mbstate_t;")
  # `inline` is a keyword in C++, and the STL refuses it as a macro.
  lumox_msvc_abi_fix_header(${wine_dir} ${out_dir} windows/windef.h
    "#ifdef _MSC_VER\n# define inline __inline\n#endif"
    "#if defined(_MSC_VER) && !defined(__cplusplus)\n# define inline __inline\n#endif")
  # clang-cl has the intrinsic built in; Wine's inline version redefines it.
  lumox_msvc_abi_fix_header(${wine_dir} ${out_dir} windows/winnt.h
    "#if defined(_MSC_VER) && !defined(__clang__)\n\n#pragma intrinsic(_InterlockedCompareExchange128)"
    "#if defined(_MSC_VER)\n\n#pragma intrinsic(_InterlockedCompareExchange128)")
endfunction()
