# cmake -DIDL=<file.idl> -DTLB=<file.tlb> -P check-typelib-id.cmake
# Fails when the type library does not carry its library's identifier from the IDL byte for
# byte. widl 7 can write a wrong byte into it (a dispinterface ahead of the first use of a
# dual interface); such a library registers under an identifier nothing else knows.
file(READ "${IDL}" idl)
string(REGEX MATCH "uuid\\(([0-9A-Fa-f-]+)\\)[^]]*\\][ \t\r\n]*library" match "${idl}")
if(NOT match)
  return()  # no library in this IDL
endif()
string(TOLOWER "${CMAKE_MATCH_1}" id)
string(REPLACE "-" "" hex "${id}")
# The identifier as stored: the first three fields little-endian, the rest as written.
set(stored "")
foreach(pos 6 4 2 0 10 8 14 12)
  string(SUBSTRING "${hex}" ${pos} 2 byte)
  string(APPEND stored "${byte}")
endforeach()
string(SUBSTRING "${hex}" 16 16 tail)
string(APPEND stored "${tail}")
file(READ "${TLB}" tlb HEX)
string(FIND "${tlb}" "${stored}" at)
# A match must start on a byte boundary of the hex text.
while(at GREATER -1)
  math(EXPR odd "${at} % 2")
  if(odd EQUAL 0)
    return()
  endif()
  math(EXPR next "${at} + 1")
  string(SUBSTRING "${tlb}" ${next} -1 rest)
  string(FIND "${rest}" "${stored}" found)
  if(found EQUAL -1)
    set(at -1)
  else()
    math(EXPR at "${next} + ${found}")
  endif()
endwhile()
message(FATAL_ERROR "${TLB} does not hold the library identifier {${id}} of ${IDL}: "
  "name the dual interfaces at the top of the library block, before any dispinterface")
