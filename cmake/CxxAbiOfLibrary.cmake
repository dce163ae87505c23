# libstdc++ has two std::string ABIs (_GLIBCXX_USE_CXX11_ABI 1 and 0) and a
# module built with one cannot pass a std::string, std::list or string
# stream to a module built with the other: they link, or even load, and
# then fail at run time. A plug-in must therefore be built with its host
# SDK's ABI, which an SDK rarely states; its library shows it.
include_guard(GLOBAL)

# Sets `is_var` to whether this project's C++ standard library is libstdc++
# (MSVC's and libc++ have one ABI only), and `default_var` to the ABI the
# compiler uses as configured (CMAKE_CXX_FLAGS included), 1 or 0.
function(lumox_libstdcxx_abi is_var default_var)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_QUIET ON)
  check_cxx_source_compiles("#include <cstddef>
#ifndef __GLIBCXX__
#error not libstdc++
#endif
int main() { return 0; }" LUMOX_LIBSTDCXX)
  set(${is_var} ${LUMOX_LIBSTDCXX} PARENT_SCOPE)
  if(NOT LUMOX_LIBSTDCXX)
    set(${default_var} "" PARENT_SCOPE)
    return()
  endif()
  check_cxx_source_compiles("#include <cstddef>
#if !_GLIBCXX_USE_CXX11_ABI
#error the old std::string
#endif
int main() { return 0; }" LUMOX_COMPILER_CXX11_ABI)
  if(LUMOX_COMPILER_CXX11_ABI)
    set(${default_var} 1 PARENT_SCOPE)
  else()
    set(${default_var} 0 PARENT_SCOPE)
  endif()
endfunction()

# Appends to `out_var` the first line of `lines` matching `pattern` that
# does not match `except` (no exception when empty), shortened for a message.
function(_lumox_first_match out_var lines pattern except)
  foreach(line IN LISTS lines)
    if(line MATCHES "${pattern}" AND (except STREQUAL "" OR NOT line MATCHES "${except}"))
      # nm's address and type, objdump's address and hint, a version.
      string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] |^[ \t]*[0-9a-fA-F]+\t *[0-9]+ +|@.*$" "" line "${line}")
      string(STRIP "${line}" line)
      string(LENGTH "${line}" length)
      if(length GREATER 160)
        string(SUBSTRING "${line}" 0 157 line)
        string(APPEND line "...")
      endif()
      set(${out_var} "${line}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${out_var} "" PARENT_SCOPE)
endfunction()

# Runs `tool` with the further arguments, then `file`; sets `out_var` to its
# output as a list of lines, empty when it fails.
function(_lumox_symbol_lines out_var tool file)
  execute_process(COMMAND ${tool} ${ARGN} "${file}"
    OUTPUT_VARIABLE output ERROR_QUIET RESULT_VARIABLE failed)
  if(failed)
    set(output "")
  endif()
  # A ';' would split a line and a bracket join lines as list entries; a
  # message shows "[abi:cxx11]" as "(abi:cxx11)".
  string(REPLACE ";" "," output "${output}")
  string(REPLACE "[" "(" output "${output}")
  string(REPLACE "]" ")" output "${output}")
  string(REPLACE "\n" ";" output "${output}")
  set(${out_var} "${output}" PARENT_SCOPE)
endfunction()

# Reads the C++ ABI that `library` (a shared library, or a MinGW import
# library with its DLL beside it or in ../bin) shows: first in its exported
# symbols, demangled (std::__cxx11 or [abi:cxx11] is the new ABI; the old
# std::string, string streams or std::list the old), failing that in what it
# imports from libstdc++ (_ZNSt7__cxx1112basic_string... new, _ZNSs... old).
# Sets `abi_var` to 1 or 0, to "both", or to "" when it shows neither, and
# `shown_var` to what it showed, for a message.
function(lumox_cxx11_abi_shown library abi_var shown_var)
  set(nm "${CMAKE_NM}")
  if(NOT nm)
    find_program(LUMOX_NM NAMES nm)
    set(nm "${LUMOX_NM}")
  endif()
  set(objdump "${CMAKE_OBJDUMP}")
  if(NOT objdump)
    find_program(LUMOX_OBJDUMP NAMES objdump)
    set(objdump "${LUMOX_OBJDUMP}")
  endif()
  if(NOT nm)
    set(${abi_var} "" PARENT_SCOPE)
    set(${shown_var} "nothing: no nm was found to read its symbols" PARENT_SCOPE)
    return()
  endif()

  file(READ "${library}" magic LIMIT 8 HEX)
  set(exports "")
  set(imports "")
  if(magic MATCHES "^7f454c46")
    # ELF: the dynamic symbol table holds both.
    _lumox_symbol_lines(exports "${nm}" "${library}" -D -C --defined-only)
    _lumox_symbol_lines(imports "${nm}" "${library}" -D --undefined-only)
  elseif(magic STREQUAL "213c617263683e0a")
    # An import library lists the DLL's exports; the DLL lists its imports.
    _lumox_symbol_lines(exports "${nm}" "${library}" -C --defined-only)
    get_filename_component(folder "${library}" DIRECTORY)
    get_filename_component(name "${library}" NAME)
    string(REGEX REPLACE "^lib|(\\.dll)?\\.a$" "" stem "${name}")
    foreach(candidate ${folder}/../bin/${stem}.dll ${folder}/../bin/lib${stem}.dll
        ${folder}/${stem}.dll ${folder}/lib${stem}.dll)
      if(objdump AND EXISTS "${candidate}")
        _lumox_symbol_lines(imports "${objdump}" "${candidate}" -p)
        break()
      endif()
    endforeach()
  endif()

  # The new ABI names are recognised mangled too, for import libraries'
  # __imp_ entries, which nm does not demangle.
  set(new_export "__cxx11|\\(abi:cxx11\\)|B5cxx11")
  set(old_export "std::(basic_string<|basic_[io]?stringstream<|basic_stringbuf<|list<|[w]?string([^_A-Za-z0-9]|$)|[io]?stringstream([^_A-Za-z0-9]|$)|stringbuf([^_A-Za-z0-9]|$))")
  set(new_import "(^|[ \t])_ZNK?St7__cxx1112basic_string")
  set(old_import "(^|[ \t])_ZNK?S[sb]")
  _lumox_first_match(new_exported "${exports}" "${new_export}" "")
  _lumox_first_match(old_exported "${exports}" "${old_export}" "${new_export}")
  _lumox_first_match(new_imported "${imports}" "${new_import}" "")
  _lumox_first_match(old_imported "${imports}" "${old_import}" "")

  if(new_exported OR old_exported)
    set(where "exports")
    set(new "${new_exported}")
    set(old "${old_exported}")
  else()
    set(where "imports from libstdc++")
    set(new "${new_imported}")
    set(old "${old_imported}")
  endif()
  if(new AND old)
    set(${abi_var} both PARENT_SCOPE)
    set(${shown_var} "both ABIs: it ${where} the new std::string (${new}) and the old (${old})" PARENT_SCOPE)
  elseif(new)
    set(${abi_var} 1 PARENT_SCOPE)
    set(${shown_var} "the new ABI (1): it ${where} ${new}" PARENT_SCOPE)
  elseif(old)
    set(${abi_var} 0 PARENT_SCOPE)
    set(${shown_var} "the old ABI (0): it ${where} ${old}" PARENT_SCOPE)
  else()
    set(${abi_var} "" PARENT_SCOPE)
    set(${shown_var} "no std::string: none in its exports, none imported from libstdc++" PARENT_SCOPE)
  endif()
endfunction()

# Decides the C++ ABI of `package`'s `library` into `out_var` (1 or 0; empty
# where the standard library is not libstdc++): the cache option `option`
# when it is set, else what the library shows. A library that shows neither
# or both, with no option, or an option the library contradicts, stops the
# configuration with a message naming the library, what it showed and the
# option.
function(lumox_decide_cxx11_abi package library option out_var)
  lumox_libstdcxx_abi(libstdcxx compiler_default)
  set(given "${${option}}")
  if(NOT libstdcxx)
    set(${out_var} "" PARENT_SCOPE)
    return()
  endif()
  if(NOT given MATCHES "^[01]?$")
    message(FATAL_ERROR "${option} is '${given}': set it to 1 (the new std::string ABI), 0 (_GLIBCXX_USE_CXX11_ABI=0) or leave it empty to read it from the ${package} library")
  endif()
  lumox_cxx11_abi_shown("${library}" shown_abi shown)
  set(how "Set ${option} to 1 if ${package} was built with libstdc++'s new std::string ABI, or to 0 if with _GLIBCXX_USE_CXX11_ABI=0")
  if(given STREQUAL "")
    if(shown_abi STREQUAL "" OR shown_abi STREQUAL "both")
      message(FATAL_ERROR "Cannot tell the C++ ABI of the ${package} library ${library}: it shows ${shown}. ${how}.")
    endif()
    set(${out_var} ${shown_abi} PARENT_SCOPE)
    return()
  endif()
  if(shown_abi MATCHES "^[01]$" AND NOT shown_abi STREQUAL given)
    message(FATAL_ERROR "${option} is ${given}, but the ${package} library ${library} shows ${shown}. Set ${option} to ${shown_abi}, or leave it empty to take the library's.")
  endif()
  set(${out_var} ${given} PARENT_SCOPE)
endfunction()
