# The resource paths of cmake/Resources.cmake, given to the real tools: a file under a folder whose
# name holds a space, double quotes and a backslash is compiled by windres and assembled by .incbin,
# and its bytes must arrive. Run with cmake -P; WINDRES, CC and WORK are given with -D.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/Resources.cmake)

foreach(required WINDRES CC WORK)
  if(NOT ${required})
    message(FATAL_ERROR "${required} is not given (windres comes with mingw-w64, which scripts/setup installs)")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
# Bytes no tool would write of its own accord.
set(marker "HalcyraResourcePathMarker")
file(WRITE "${WORK}/marker.bin" "${marker}")
string(HEX "${marker}" markerHex)
# CMake's own file commands take a backslash for a folder separator, so the plain tools make the folder.
set(folder "${WORK}/a checkout \"quoted\" back\\slash")
execute_process(COMMAND mkdir "${folder}" COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND cp "${WORK}/marker.bin" "${folder}/marker.bin" COMMAND_ERROR_IS_FATAL ANY)

# Whether a file the tool wrote holds the marker's bytes.
function(expect_marker file what)
  file(READ "${file}" content HEX)
  string(FIND "${content}" "${markerHex}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${what}: the resource's bytes are not in ${file}")
  endif()
endfunction()

halcyra_rc_statement(statement MARKER RCDATA "${folder}/marker.bin")
file(WRITE "${WORK}/Resources.rc" "${statement}")
execute_process(COMMAND "${WINDRES}" -i Resources.rc -O coff -o Resources.rc.o
                WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "windres refused the script:\n${statement}${errors}")
endif()
expect_marker("${WORK}/Resources.rc.o" "windres")

halcyra_quoted_path(quoted "${folder}/marker.bin")
file(WRITE "${WORK}/Resources.S" "\t.section .rodata\n\t.incbin ${quoted}\n\t.section .note.GNU-stack,\"\",@progbits\n")
execute_process(COMMAND "${CC}" -c Resources.S -o Resources.S.o
                WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the assembler refused .incbin ${quoted}:\n${errors}")
endif()
expect_marker("${WORK}/Resources.S.o" ".incbin")
