# Fails unless the shared library defines exactly the five C functions of its
# interface as dynamic symbols: nothing of the core or of the C++ runtime
# may leak out of it.
# Usage: cmake -DNM=<nm> -DLIB=<libfncryptlib.so> -P check_exports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIB}
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIB}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(names "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] ([^ ]+)$")
    list(APPEND names "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(SORT names)
set(expected CipherBuffer CipherByte DecodeText EncodeText InitCipher)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exported: ${names}\nexpected: ${expected}")
endif()
message(STATUS "exports: ${names}")
