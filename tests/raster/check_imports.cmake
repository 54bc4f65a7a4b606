cmake_minimum_required(VERSION 3.24)
# Script mode: fails when a Windows executable or DLL imports anything but
# system DLLs (a zlib or libpng DLL would be found under Wine, whose prefix
# ships one, but not on a user's Windows).
#   -DOBJDUMP=<x86_64-w64-mingw32-objdump> -DFILE=<exe or dll>
execute_process(COMMAND ${OBJDUMP} -p ${FILE} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${FILE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
set(allowed kernel32.dll user32.dll gdi32.dll advapi32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll
            comctl32.dll comdlg32.dll wininet.dll ws2_32.dll shlwapi.dll uuid.dll)
foreach(line IN LISTS lines)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" lower)
  if(NOT lower IN_LIST allowed AND NOT lower MATCHES "^api-ms-win-")
    message(FATAL_ERROR "${FILE} imports ${dll}, which is not a system DLL")
  endif()
  message(STATUS "imports ${dll}")
endforeach()
