# The plug-in file is a module of the platform's kind that exports no
# function: the host finds the node only through its registration record.
#   -DPLUGIN=<file> -DKIND=elf|pe -DFILE_TOOL=<file> -DSYMBOL_TOOL=<nm or objdump>

execute_process(COMMAND ${FILE_TOOL} -b ${PLUGIN} OUTPUT_VARIABLE format RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "file could not read ${PLUGIN}")
endif()

if(KIND STREQUAL "elf")
  if(NOT format MATCHES "ELF 64-bit LSB shared object, x86-64")
    message(FATAL_ERROR "not an x86-64 ELF shared object: ${format}")
  endif()
  execute_process(COMMAND ${SYMBOL_TOOL} -D --defined-only ${PLUGIN}
    OUTPUT_VARIABLE exported RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "nm could not read ${PLUGIN}")
  endif()
  # Only the dynamic section's own markers may stand there, never code.
  string(REGEX MATCHALL "[^\n]* [TtWwi] [^\n]*" functions "${exported}")
  if(functions)
    message(FATAL_ERROR "the plug-in exports functions:\n${functions}")
  endif()
else()
  if(NOT format MATCHES "PE32\\+ executable \\(DLL\\).*x86-64")
    message(FATAL_ERROR "not an x86-64 PE32+ DLL: ${format}")
  endif()
  execute_process(COMMAND ${SYMBOL_TOOL} -p ${PLUGIN} OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "objdump could not read ${PLUGIN}")
  endif()
  # MSVC's linker writes no export directory at all for a DLL that exports
  # nothing; GNU ld writes an empty one.
  if(headers MATCHES "\nEntry 0 0+ 0+ Export Directory")
    return()
  endif()
  if(headers MATCHES "\\[Ordinal/Name Pointer\\] Table\n[ \t]*\\[")
    string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n([^\n]*\n)+" names "${headers}")
    message(FATAL_ERROR "the plug-in exports names:\n${names}")
  endif()
  if(NOT headers MATCHES "Export Address Table[ \t]+0+\n")
    message(FATAL_ERROR "the plug-in's export address table is not empty")
  endif()
endif()
