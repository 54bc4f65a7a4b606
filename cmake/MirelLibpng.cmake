# PNG and zlib for the raster library.
# Native builds use the system's libpng and zlib. The mingw build compiles
# libpng's library sources from Debian's source package (Debian ships no mingw
# libpng) against the static mingw zlib, so the module imports no zlib or
# libpng DLL. scripts/setup fetches the source into the project's cache
# folder; configuring only reads it (no network, no root).
# Result: the targets PNG::PNG and ZLIB::ZLIB.
if(TARGET PNG::PNG)
  return()
endif()

# Imported targets are visible in the including directory only; the tests
# (which write PNG files) use them from another one. The fuzz build compiles
# libpng from the same source as the mingw build, so that the fuzzer is guided
# inside the decoder.
if(NOT WIN32 AND NOT MIREL_FUZZ)
  find_package(ZLIB REQUIRED)
  find_package(PNG REQUIRED)
  set_target_properties(PNG::PNG ZLIB::ZLIB PROPERTIES IMPORTED_GLOBAL TRUE)
  return()
endif()

if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)
set_target_properties(ZLIB::ZLIB PROPERTIES IMPORTED_GLOBAL TRUE)

set(MIREL_LIBPNG_SOURCE_DIR "${PROJECT_SOURCE_DIR}/.setup-cache/libpng-src" CACHE PATH
  "libpng source tree for the mingw build (scripts/setup fetches it)")
if(NOT EXISTS "${MIREL_LIBPNG_SOURCE_DIR}/png.c")
  message(FATAL_ERROR
    "The Windows and fuzz builds need Debian's libpng source in ${MIREL_LIBPNG_SOURCE_DIR}, and it is missing.\n"
    "Run scripts/setup once (it installs the packages and fetches the source; needs network and root or sudo), "
    "then configure again. Another libpng source tree can be given with -DMIREL_LIBPNG_SOURCE_DIR=PATH.")
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
