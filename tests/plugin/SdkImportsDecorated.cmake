cmake_minimum_required(VERSION 3.25)
# What the plug-in imports from its SDK's DLL carries the C++ ABI's own
# decoration: `?` for MSVC's, `_Z` for the Itanium ABI's. A name without it
# is named: the plug-in and that SDK would not agree on the C++ ABI.
#   -DPLUGIN=<file> -DTOOL=<objdump> -DSDK=<DLL name> -DPREFIX=<? or _Z>

execute_process(COMMAND ${TOOL} -p ${PLUGIN} OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${TOOL} could not read ${PLUGIN}")
endif()
# objdump lists each DLL's imports under its name, one a line, up to a
# blank line.
string(FIND "${headers}" "DLL Name: ${SDK}\n" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the plug-in imports nothing from ${SDK}")
endif()
string(SUBSTRING "${headers}" ${at} -1 rest)
string(FIND "${rest}" "\n\n" end)
string(SUBSTRING "${rest}" 0 ${end} table)
string(REGEX MATCHALL "\n\t[0-9a-f]+[ \t]+[0-9]+[ \t]+[^\n]+" rows "${table}")
if(NOT rows)
  message(FATAL_ERROR "no imported name listed under ${SDK}:\n${table}")
endif()
set(plain "")
foreach(row IN LISTS rows)
  string(REGEX REPLACE "^\n\t[0-9a-f]+[ \t]+[0-9]+[ \t]+" "" name "${row}")
  string(FIND "${name}" "${PREFIX}" start)
  if(NOT start EQUAL 0)
    list(APPEND plain "${name}")
  endif()
endforeach()
if(plain)
  string(REPLACE ";" "\n  " plain "${plain}")
  message(FATAL_ERROR "imports from ${SDK} without the decoration `${PREFIX}`:\n  ${plain}")
endif()
list(LENGTH rows count)
message(STATUS "${count} imports from ${SDK}, each decorated `${PREFIX}`")
