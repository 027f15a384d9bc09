# Compiles the host boundary header as 32-bit code: its static_asserts check the
# documented byte offsets.
execute_process(
  COMMAND ${CXX} -m32 -std=c++20 -fsyntax-only -x c++ ${HEADER}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "32-bit compile of the host boundary failed:\n${out}${err}")
endif()
message(STATUS "32-bit host boundary: all offsets hold")
