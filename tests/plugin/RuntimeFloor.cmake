cmake_minimum_required(VERSION 3.25)
# The optimised plug-in loads on a C and C++ runtime as old as the floor its
# documentation states for its std::string ABI: no symbol it imports needs
# a newer GLIBC_ or GLIBCXX_ version. Anything above it is named.
#   -DPLUGIN=<file> -DTOOL=<objdump> -DABI=1|0

# The floor per ABI: what the documentation promises.
set(floor_1_GLIBC 2.14)
set(floor_1_GLIBCXX 3.4.21)
set(floor_0_GLIBC 2.14)
set(floor_0_GLIBCXX 3.4.11)

if(NOT DEFINED floor_${ABI}_GLIBC)
  message(FATAL_ERROR "no runtime floor for the ABI '${ABI}'")
endif()
execute_process(COMMAND ${TOOL} -T ${PLUGIN} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${TOOL} could not read ${PLUGIN}")
endif()
string(REPLACE ";" "," symbols "${symbols}")
string(REPLACE "\n" ";" symbols "${symbols}")

set(seen "")
set(above "")
foreach(line IN LISTS symbols)
  if(NOT line MATCHES "[ (](GLIBC|GLIBCXX)_([0-9.]+)\\)?[ \t]+([^ \t]+)$")
    continue()
  endif()
  set(runtime ${CMAKE_MATCH_1})
  set(version ${CMAKE_MATCH_2})
  set(symbol ${CMAKE_MATCH_3})
  list(APPEND seen ${runtime})
  if(version VERSION_GREATER floor_${ABI}_${runtime})
    list(APPEND above "${symbol} needs ${runtime}_${version}")
  endif()
endforeach()
# Both runtimes are always needed; seeing neither means the listing was
# not read.
foreach(runtime GLIBC GLIBCXX)
  if(NOT runtime IN_LIST seen)
    message(FATAL_ERROR "${TOOL} -T lists no ${runtime}_ symbol of ${PLUGIN}")
  endif()
endforeach()
if(above)
  list(JOIN above "\n  " above)
  message(FATAL_ERROR "the plug-in needs a runtime above GLIBC_${floor_${ABI}_GLIBC} and "
    "GLIBCXX_${floor_${ABI}_GLIBCXX} (its floor for _GLIBCXX_USE_CXX11_ABI=${ABI}):\n  ${above}")
endif()
