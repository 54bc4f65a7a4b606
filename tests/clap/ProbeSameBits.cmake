cmake_minimum_required(VERSION 3.24)
# mirel-probe renders the same test signal through the VST3 module and the
# CLAP module: both must give the same output hash.
# -DPROBE=<mirel-probe> -DVST3=<module> -DCLAP=<module> [-DEMULATOR=<wine>]
foreach(kind VST3 CLAP)
  execute_process(COMMAND ${EMULATOR} ${PROBE} ${${kind}} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "mirel-probe failed on ${${kind}}: ${out}")
  endif()
  string(REGEX MATCH "output_hash: [0-9a-f]+" hash_${kind} "${out}")
  if(NOT hash_${kind})
    message(FATAL_ERROR "mirel-probe printed no hash for ${${kind}}: ${out}")
  endif()
endforeach()
if(NOT hash_VST3 STREQUAL hash_CLAP)
  message(FATAL_ERROR "the CLAP module renders '${hash_CLAP}', the VST3 module '${hash_VST3}'")
endif()
message(STATUS "both modules: ${hash_CLAP}")
