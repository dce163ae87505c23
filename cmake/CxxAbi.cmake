# The std::string ABI the plug-in is built with (libstdc++ only): its SDK's.
# Built alone, that is what the DDImage library shows (FindDDImage) or what
# LUMOX_CXX11_ABI says; with the stand-ins, which are the SDK, it is
# LUMOX_CXX11_ABI or the compiler's default. Every target of the project
# gets it through lumox_project_options, the plug-in's among them; the
# bridge API carries it to the bridges that drive the plug-in.
#   LUMOX_PLUGIN_CXX11_ABI: 1, 0, or empty where the library is not libstdc++
#   LUMOX_CXX11_ABI_DEFINITION: the compile definition that applies it
include(CxxAbiOfLibrary)

set(LUMOX_CXX11_ABI "" CACHE STRING
  "libstdc++'s std::string ABI of the host SDK: 1 (new), 0 (_GLIBCXX_USE_CXX11_ABI=0), or empty to read it from the SDK's library (with the stand-ins, the compiler's default)")
set_property(CACHE LUMOX_CXX11_ABI PROPERTY STRINGS "" 1 0)

lumox_libstdcxx_abi(_libstdcxx _compiler_abi)
if(NOT _libstdcxx)
  set(LUMOX_PLUGIN_CXX11_ABI "")
  if(NOT LUMOX_CXX11_ABI STREQUAL "")
    message(WARNING "LUMOX_CXX11_ABI is ignored: this standard library has one C++ ABI only")
  endif()
elseif(NOT LUMOX_STANDINS)
  set(LUMOX_PLUGIN_CXX11_ABI ${DDImage_CXX11_ABI})
elseif(LUMOX_CXX11_ABI MATCHES "^[01]$")
  set(LUMOX_PLUGIN_CXX11_ABI ${LUMOX_CXX11_ABI})
elseif(LUMOX_CXX11_ABI STREQUAL "")
  set(LUMOX_PLUGIN_CXX11_ABI ${_compiler_abi})
else()
  message(FATAL_ERROR "LUMOX_CXX11_ABI is '${LUMOX_CXX11_ABI}': set it to 1, 0 or leave it empty")
endif()

set(LUMOX_CXX11_ABI_DEFINITION "")
if(NOT LUMOX_PLUGIN_CXX11_ABI STREQUAL "")
  set(LUMOX_CXX11_ABI_DEFINITION "$<$<COMPILE_LANGUAGE:CXX>:_GLIBCXX_USE_CXX11_ABI=${LUMOX_PLUGIN_CXX11_ABI}>")
  target_compile_definitions(lumox_project_options INTERFACE ${LUMOX_CXX11_ABI_DEFINITION})
  if(NOT LUMOX_PLUGIN_CXX11_ABI STREQUAL _compiler_abi AND NOT CMAKE_CROSSCOMPILING
      AND (LUMOX_BUILD_TESTS OR LUMOX_BUILD_BENCHMARKS))
    # They would link the system's GoogleTest and Google Benchmark, built
    # with the compiler's default.
    message(FATAL_ERROR "LUMOX_CXX11_ABI=${LUMOX_PLUGIN_CXX11_ABI} is not the compiler's default ABI, which the system's GoogleTest and Google Benchmark were built with: configure with -DLUMOX_BUILD_TESTS=OFF -DLUMOX_BUILD_BENCHMARKS=OFF (as the `old-abi` preset does)")
  endif()
endif()
