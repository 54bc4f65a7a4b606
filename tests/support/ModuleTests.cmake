# What the tests that load a built module file share, for the VST3 module's
# and the CLAP module's alike.

# A test program of `target` that loads module target MODULE, whose file it
# finds at the macro PATH_DEFINE; it reads tests/integration/data and the
# product's parameter and preset tables (the generated one too) as its
# expectations.
function(mirel_module_tests target)
  cmake_parse_arguments(ARG "" "MODULE;PATH_DEFINE" "" ${ARGN})
  target_compile_definitions(${target} PRIVATE ${ARG_PATH_DEFINE}="$<TARGET_FILE:${ARG_MODULE}>"
    MIREL_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/integration/data")
  mirel_folder_root(mirel _mirel_root)
  mirel_folder_root(plugbase _plugbase_root)
  target_include_directories(${target} PRIVATE ${_mirel_root} ${_plugbase_root} ${CMAKE_BINARY_DIR}/generated)
  add_dependencies(${target} ${ARG_MODULE})
endfunction()

# The test `name`: the file of module target `module` exports exactly its
# entry points (EXPORTS, ';'-separated, when not the VST3 module's) and, on
# Windows, imports only system DLLs.
function(mirel_module_file_test name module)
  cmake_parse_arguments(ARG "" "EXPORTS" "" ${ARGN})
  if(WIN32)
    find_program(MIREL_OBJDUMP NAMES x86_64-w64-mingw32-objdump REQUIRED)
  else()
    find_program(MIREL_OBJDUMP NAMES objdump REQUIRED)
  endif()
  set(_exports "")
  if(ARG_EXPORTS)
    set(_exports "-DEXPORTS=${ARG_EXPORTS}")
  endif()
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${MIREL_OBJDUMP} -DMODULE=$<TARGET_FILE:${module}> -DWINDOWS=${WIN32}
            ${_exports} -P ${PROJECT_SOURCE_DIR}/tests/integration/CheckModuleFile.cmake)
endfunction()
