# Fails unless the shared library defines exactly the five C functions of its
# interface as dynamic symbols: nothing of the core or of the C++ runtime
# may leak out of it.
# Usage: cmake -DNM=<nm> -DLIB=<libfncryptlib.so> -P check_exports.cmake
execute_process(COMMAND ${NM} -D --defined-only --format=just-symbols ${LIB}
  OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
string(STRIP "${listing}" listing)
string(REPLACE "\n" ";" names "${listing}")
list(SORT names)
if(NOT names STREQUAL "CipherBuffer;CipherByte;DecodeText;EncodeText;InitCipher")
  message(FATAL_ERROR "exported: ${names}")
endif()
