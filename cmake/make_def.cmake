# Writes a module definition file from an export table header whose entries read
# "X(ordinal, Name)". Usage: cmake -DTABLE=header -DLIBRARY=name.dll -DOUTPUT=file.def -P make_def.cmake
# Read whole: the table's lines end in a backslash, which a CMake list would take as an escape.
file(READ "${TABLE}" content)
string(REGEX MATCHALL "X\\([0-9]+, *[A-Za-z0-9_]+\\)" lines "${content}")
set(text "LIBRARY ${LIBRARY}\nEXPORTS\n")
foreach(line IN LISTS lines)
  string(REGEX MATCH "X\\(([0-9]+), *([A-Za-z0-9_]+)\\)" _ "${line}")
  string(APPEND text "  ${CMAKE_MATCH_2} @${CMAKE_MATCH_1}\n")
endforeach()
file(WRITE "${OUTPUT}.tmp" "${text}")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUTPUT}.tmp" "${OUTPUT}")
file(REMOVE "${OUTPUT}.tmp")
