# Reads the version resources of the Windows files back with windres and
# holds them to the version `ddhost --version` prints.
#   -DWINDRES=<windres> -DRUN=<runner for Windows programs> -DDDHOST=<ddhost.exe>
#   -DFILES=<file|APP or DLL;...>

execute_process(COMMAND ${RUN} ${DDHOST} --version
  OUTPUT_VARIABLE printed ERROR_VARIABLE printed RESULT_VARIABLE failed)
if(failed OR NOT printed MATCHES "^ddhost ([0-9]+)\\.([0-9]+)\\.([0-9]+)\r?\n")
  message(FATAL_ERROR "ddhost --version printed no version:\n${printed}")
endif()
set(version "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}")
set(numbers "${CMAKE_MATCH_1}, ${CMAKE_MATCH_2}, ${CMAKE_MATCH_3}, 0")

set(problems "")
foreach(entry IN LISTS FILES)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 file)
  list(GET entry 1 type)
  get_filename_component(name "${file}" NAME)
  execute_process(COMMAND ${WINDRES} -i "${file}" -O rc
    OUTPUT_VARIABLE rc ERROR_VARIABLE error RESULT_VARIABLE failed)
  if(failed)
    string(APPEND problems "${name}: windres could not read it: ${error}\n")
    continue()
  endif()
  if(type STREQUAL "APP")
    set(filetype "0x1")
  else()
    set(filetype "0x2")
  endif()
  foreach(expected
      "FILEVERSION ${numbers}\n"
      "PRODUCTVERSION ${numbers}\n"
      "FILETYPE ${filetype}\n"
      "VALUE \"FileVersion\", \"${version}\"\n"
      "VALUE \"ProductVersion\", \"${version}\"\n"
      "VALUE \"ProductName\", \"LumoxIndirect\"\n"
      "VALUE \"OriginalFilename\", \"${name}\"\n")
    string(FIND "${rc}" "${expected}" at)
    if(at EQUAL -1)
      string(STRIP "${expected}" expected)
      string(APPEND problems "${name}: no ${expected}\n")
    endif()
  endforeach()
  foreach(field FileDescription CompanyName)
    if(NOT rc MATCHES "VALUE \"${field}\", \"[^\"]+\"")
      string(APPEND problems "${name}: no ${field}\n")
    endif()
  endforeach()
endforeach()
if(problems)
  message(FATAL_ERROR "the version resources do not say ${version}:\n${problems}")
endif()
message(STATUS "version resources say ${version}: ${FILES}")
