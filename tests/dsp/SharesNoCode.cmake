# Fails when the object file of OBJECTS (joined by "|") whose name matches
# PATTERN defines a weak symbol: an inline function from another header
# emitted there, which the linker may keep for every caller. The wide
# kernel's file is built for AVX2, and such a copy would run on processors
# without it.
string(REPLACE "|" ";" objects "${OBJECTS}")
set(object "")
foreach(o IN LISTS objects)
  if(o MATCHES "${PATTERN}")
    set(object "${o}")
  endif()
endforeach()
if(object STREQUAL "")
  message(FATAL_ERROR "no object file matches ${PATTERN}")
endif()
execute_process(COMMAND "${NM}" --defined-only -C "${object}" OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${object}")
endif()
string(REGEX MATCHALL "[0-9a-f]+ [WwVv] [^\n]*" shared "${symbols}")
if(shared)
  string(REPLACE ";" "\n  " shared "${shared}")
  message(FATAL_ERROR "${object} defines code it could share:\n  ${shared}")
endif()
message(STATUS "${object}: no weak symbols")
