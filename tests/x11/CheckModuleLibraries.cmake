cmake_minimum_required(VERSION 3.24)
# The Linux module may need only libraries every Linux desktop has: the C and
# C++ runtimes, X11/xcb, FreeType, fontconfig, libpng and zlib.
# -DOBJDUMP=<objdump> -DMODULE=<file>
execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
string(REGEX MATCHALL "NEEDED +[^\r\n]+" lines "${dump}")
if(NOT rc EQUAL 0 OR NOT lines)
  message(FATAL_ERROR "no dynamic section read from ${MODULE}")
endif()
set(desktop "^(libc\\.so\\.6|libm\\.so\\.6|libstdc\\+\\+\\.so\\.6|libgcc_s\\.so\\.1|ld-linux-x86-64\\.so\\.2|libpthread\\.so\\.0|libdl\\.so\\.2|librt\\.so\\.1|libX11\\.so\\.6|libXext\\.so\\.6|libxcb\\.so\\.1|libxcb-shm\\.so\\.0|libfreetype\\.so\\.6|libfontconfig\\.so\\.1|libpng16\\.so\\.16|libz\\.so\\.1)$")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^NEEDED +" "" lib "${line}")
  string(STRIP "${lib}" lib)
  if(NOT lib MATCHES "${desktop}")
    message(FATAL_ERROR "${MODULE} needs ${lib}, which a Linux desktop need not have")
  endif()
endforeach()
message(STATUS "needs only desktop libraries: ${lines}")
