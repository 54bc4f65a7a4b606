cmake_minimum_required(VERSION 3.24)
# The Linux module may need only libraries every Linux desktop has: the C and
# C++ runtimes, X11/xcb, FreeType, fontconfig, libpng and zlib.
# -DOBJDUMP=<objdump> -DMODULE=<file>
execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${MODULE}")
endif()
string(REGEX MATCHALL "NEEDED +[^\r\n]+" lines "${dump}")
set(allowed
  "^libc\\.so\\.6$" "^libm\\.so\\.6$" "^libstdc\\+\\+\\.so\\.6$" "^libgcc_s\\.so\\.1$"
  "^ld-linux-x86-64\\.so\\.2$" "^libpthread\\.so\\.0$" "^libdl\\.so\\.2$" "^librt\\.so\\.1$"
  "^libX11\\.so\\.6$" "^libxcb\\.so\\.1$" "^libxcb-shm\\.so\\.0$" "^libXext\\.so\\.6$"
  "^libfreetype\\.so\\.6$" "^libfontconfig\\.so\\.1$" "^libpng16\\.so\\.16$" "^libz\\.so\\.1$")
set(needed "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^NEEDED +" "" lib "${line}")
  string(STRIP "${lib}" lib)
  list(APPEND needed ${lib})
  set(ok FALSE)
  foreach(pattern IN LISTS allowed)
    if(lib MATCHES "${pattern}")
      set(ok TRUE)
    endif()
  endforeach()
  if(NOT ok)
    message(FATAL_ERROR "${MODULE} needs ${lib}, which a Linux desktop need not have")
  endif()
endforeach()
if(NOT "libc.so.6" IN_LIST needed)
  message(FATAL_ERROR "no dynamic section read from ${MODULE}")
endif()
message(STATUS "needs only desktop libraries: ${needed}")
