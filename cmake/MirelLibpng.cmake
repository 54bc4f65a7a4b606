# PNG and zlib for the raster library.
# Native builds use the system's libpng and zlib. The mingw build compiles
# libpng's library sources from Debian's source package (Debian ships no mingw
# libpng) against the static mingw zlib, so the module imports no zlib or
# libpng DLL. The source is fetched once into the build folder.
# Result: the targets PNG::PNG and ZLIB::ZLIB.
if(TARGET PNG::PNG)
  return()
endif()

# Imported targets are visible in the including directory only; the tests
# (which write PNG files) use them from another one.
if(NOT WIN32)
  find_package(ZLIB REQUIRED)
  find_package(PNG REQUIRED)
  set_target_properties(PNG::PNG ZLIB::ZLIB PROPERTIES IMPORTED_GLOBAL TRUE)
  return()
endif()

set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)
set_target_properties(ZLIB::ZLIB PROPERTIES IMPORTED_GLOBAL TRUE)

set(MIREL_LIBPNG_SOURCE_DIR "${CMAKE_BINARY_DIR}/_deps/libpng-src" CACHE PATH
  "libpng source tree for the mingw build (fetched from Debian when missing)")
if(NOT EXISTS "${MIREL_LIBPNG_SOURCE_DIR}/png.c")
  message(STATUS "Fetching Debian's libpng1.6 source into ${MIREL_LIBPNG_SOURCE_DIR}")
  execute_process(
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/fetch-libpng-source.sh "${MIREL_LIBPNG_SOURCE_DIR}"
    RESULT_VARIABLE _fetch_result)
  if(NOT _fetch_result EQUAL 0 OR NOT EXISTS "${MIREL_LIBPNG_SOURCE_DIR}/png.c")
    message(FATAL_ERROR "Could not fetch the libpng source (see fetch-libpng-source.sh)")
  endif()
endif()

set(_png_config_dir "${CMAKE_BINARY_DIR}/_deps/libpng-config")
configure_file("${MIREL_LIBPNG_SOURCE_DIR}/scripts/pnglibconf.h.prebuilt"
  "${_png_config_dir}/pnglibconf.h" COPYONLY)

set(_png_sources "")
foreach(_name png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil
              pngset pngtrans pngwio pngwrite pngwtran pngwutil)
  list(APPEND _png_sources "${MIREL_LIBPNG_SOURCE_DIR}/${_name}.c")
endforeach()
add_library(mirel_libpng STATIC ${_png_sources})
target_include_directories(mirel_libpng SYSTEM PUBLIC "${MIREL_LIBPNG_SOURCE_DIR}" "${_png_config_dir}")
target_link_libraries(mirel_libpng PUBLIC ZLIB::ZLIB)
# Third-party code: its own warnings stay off our -Werror.
target_compile_options(mirel_libpng PRIVATE -w)
add_library(PNG::PNG ALIAS mirel_libpng)
