# Writes a copy of the emission code that declares its transform scope
# before the storage the light's declaration points at, so that on an
# exception the storage dies first and the scope's LxTransformEnd reads it.
#   -DINPUT (the emission code) -DOUTPUT (the copy)

file(READ "${INPUT}" text)
set(scope "    TransformScope scope;\n")
set(storage "    ParameterList<")
foreach(line IN ITEMS scope storage)
  string(FIND "${text}" "${${line}}" first)
  string(FIND "${text}" "${${line}}" last REVERSE)
  if(first EQUAL -1 OR NOT first EQUAL last)
    message(FATAL_ERROR "${INPUT} does not hold once:\n${${line}}")
  endif()
endforeach()
string(REPLACE "${scope}" "" text "${text}")
string(REPLACE "${storage}" "${scope}${storage}" text "${text}")
file(WRITE "${OUTPUT}" "${text}")
