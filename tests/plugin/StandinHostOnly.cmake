cmake_minimum_required(VERSION 3.25)
# A MinGW-built plug-in loads in no host built with MSVC: it imports the
# MinGW C++ runtime and the SDK's functions by GCC's names, which an MSVC
# SDK does not export. Its install note says so plainly, as long as that
# holds.
#   -DPLUGIN=<file> -DTOOL=<objdump> -DNOTE=<the configured INSTALL.txt>

execute_process(COMMAND ${TOOL} -p ${PLUGIN} OUTPUT_VARIABLE imports RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${TOOL} could not read ${PLUGIN}")
endif()
string(TOLOWER "${imports}" lowered)
if(NOT lowered MATCHES "dll name: libstdc\\+\\+-6\\.dll" OR NOT imports MATCHES "_ZN2DD5Image")
  message(FATAL_ERROR "${PLUGIN} no longer imports the MinGW C++ runtime and GCC-named SDK functions; "
    "its install note says otherwise")
endif()

file(READ "${NOTE}" note)
string(REGEX REPLACE "[ \n]+" " " note "${note}")
foreach(says "This build is for the stand-in host only"
    "it loads only in the stand-in host, ddhost, never in a host built with Microsoft Visual C\\+\\+")
  if(NOT note MATCHES "${says}")
    message(FATAL_ERROR "the install note does not say \"${says}\":\n${note}")
  endif()
endforeach()
