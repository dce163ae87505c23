cmake_minimum_required(VERSION 3.25)
# What a manual shows verbatim is what it claims to be. A fenced block right
# after a marker line must be, byte for byte (line ends aside):
#   <!-- ddhost ARGUMENTS -->   what `ddhost ARGUMENTS` prints;
#   <!-- file PATH -->          the file PATH of the source tree;
#   <!-- start of file PATH --> its first lines.
#   -DMANUAL -DSOURCE_DIR [-DDDHOST] [-DEMULATOR]

file(READ "${MANUAL}" text)
string(REPLACE ";" "<semicolon>" text "${text}")
string(REGEX MATCHALL "<!-- [^\n]* -->\n```[^\n]*\n[^`]*```" blocks "${text}")
if(NOT blocks)
  message(FATAL_ERROR "${MANUAL} marks no block to check")
endif()
foreach(block IN LISTS blocks)
  string(REGEX REPLACE "^<!-- ([^\n]*) -->.*$" "\\1" marker "${block}")
  string(REGEX REPLACE "^<!--[^\n]*\n```[^\n]*\n(.*)```$" "\\1" shown "${block}")
  string(REPLACE "<semicolon>" ";" shown "${shown}")
  if(marker MATCHES "^ddhost( (.*))?$")
    separate_arguments(arguments UNIX_COMMAND "${CMAKE_MATCH_2}")
    execute_process(COMMAND ${EMULATOR} ${DDHOST} ${arguments}
      RESULT_VARIABLE failed OUTPUT_VARIABLE actual ERROR_VARIABLE errors)
    if(failed)
      message(FATAL_ERROR "${marker} failed (${failed}):\n${errors}")
    endif()
  elseif(marker MATCHES "^(start of )?file (.*)$")
    file(READ "${SOURCE_DIR}/${CMAKE_MATCH_2}" actual)
    if(CMAKE_MATCH_1)
      string(LENGTH "${shown}" length)
      string(SUBSTRING "${actual}" 0 ${length} actual)
    endif()
  else()
    message(FATAL_ERROR "${MANUAL}: unknown marker \"${marker}\"")
  endif()
  string(REPLACE "\r\n" "\n" actual "${actual}")
  if(NOT actual STREQUAL shown)
    message(FATAL_ERROR "${MANUAL} shows, after \"<!-- ${marker} -->\":\n${shown}\n"
      "but it is:\n${actual}")
  endif()
  message(STATUS "${MANUAL}: ${marker}: as shown")
endforeach()
