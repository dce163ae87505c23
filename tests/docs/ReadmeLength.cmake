cmake_minimum_required(VERSION 3.25)
# The README is a front door: past a screenful or two, studios stop reading
# before the install steps they came for.
#   -DREADME=README.md -DMAX_LINES=200
file(STRINGS "${README}" lines)
list(LENGTH lines count)
if(count GREATER MAX_LINES)
  message(FATAL_ERROR "${README} has ${count} lines, more than ${MAX_LINES}: move detail into docs/")
endif()
