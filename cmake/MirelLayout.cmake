# The editor layout, written once in mirel/editor-layout.txt (the artwork
# generator reads the same file). At configure time this reads it and writes,
# under ${CMAKE_BINARY_DIR}/generated/:
#   EditorLayout.h   the C++ table the editor is built from (from
#                    mirel/EditorLayout.h.in)
#   images.rc        the Windows resource script: every image as type "PNG"
#                    under its id, by absolute path, its frames drawn at
#                    twice the size (a frame set of PNGs, raster/RAS_FrameSet.h:
#                    NAME.frames in the 2x/ folder beside it) under id + 100,
#                    and, for an image of more than one frame, its frames at
#                    its own size (NAME.frames in the 1x/ folder) under id + 200
# and sets
#   MIREL_LAYOUT_FILE     the layout file
#   MIREL_IMAGES_RC       the generated resource script
#   MIREL_LAYOUT_IMAGES   the images' absolute paths
# Targets that include EditorLayout.h link the interface target mirel_layout.
# Editing the layout file re-runs the configuration on the next build; a
# malformed line stops it with the line quoted.

set(MIREL_LAYOUT_FILE ${PROJECT_SOURCE_DIR}/mirel/editor-layout.txt)
# The editor finds an image's set at twice the size under its id plus this
# (ImageStore::kDoubleSizeIdOffset), and its set at its own size under its id
# plus the other (ImageStore::kSingleSizeIdOffset).
set(MIREL_DOUBLE_SIZE_ID_OFFSET 100)
set(MIREL_SINGLE_SIZE_ID_OFFSET 200)
set(_layout_out ${CMAKE_BINARY_DIR}/generated)
set(MIREL_IMAGES_RC ${_layout_out}/images.rc)
include(MirelTableFile)
mirel_read_table_file(${MIREL_LAYOUT_FILE} ${PROJECT_SOURCE_DIR}/mirel/EditorLayout.h.in _layout_lines)
set(_int "^(0|[1-9][0-9]*)$")
set(_editor "")
set(_version "")
set(_controls "")
set(_rc_entries "")
set(_ids "")
set(MIREL_LAYOUT_IMAGES "")
foreach(_raw IN LISTS _layout_lines)
  string(REGEX REPLACE "#.*$" "" _line "${_raw}")
  string(STRIP "${_line}" _line)
  if(_line STREQUAL "")
    continue()
  endif()
  string(REGEX REPLACE "[ \t]+" ";" _f "${_line}")
  list(LENGTH _f _n)
  list(GET _f 0 _kind)
  list(SUBLIST _f 1 -1 _args)
  if(_kind STREQUAL "editor" OR _kind STREQUAL "version")
    set(_numbers ${_args})
  elseif(_kind MATCHES "^(background|switch|knob|meter)$")
    if(NOT _n EQUAL 9)
      mirel_table_fail(${MIREL_LAYOUT_FILE} "${_raw}" "a control has 9 fields")
    endif()
    list(GET _f 1 _param)
    list(GET _f 2 _id)
    list(GET _f 3 _image)
    list(SUBLIST _f 4 -1 _numbers)
    list(APPEND _numbers ${_id})
  else()
    mirel_table_fail(${MIREL_LAYOUT_FILE} "${_raw}" "unknown line kind '${_kind}'")
  endif()
  mirel_table_require_all(${MIREL_LAYOUT_FILE} "${_raw}" "${_numbers}" "${_int}" "a whole number")

  if(_kind STREQUAL "editor")
    if(NOT _n EQUAL 4 OR NOT _editor STREQUAL "")
      mirel_table_fail(${MIREL_LAYOUT_FILE} "${_raw}" "one editor line: width, height, frames per second")
    endif()
    set(_editor ${_args})
  elseif(_kind STREQUAL "version")
    if(NOT _n EQUAL 5 OR NOT _version STREQUAL "")
      mirel_table_fail(${MIREL_LAYOUT_FILE} "${_raw}" "one version line: left, top, right, bottom")
    endif()
    list(JOIN _args ", " _version)
  else()
    if(_param STREQUAL "-")
      set(_param -1)
    elseif(NOT _param MATCHES "^k[A-Z][A-Za-z0-9]*$")
      mirel_table_fail(${MIREL_LAYOUT_FILE} "${_raw}" "the parameter is an index constant or -")
    endif()
    if(_id IN_LIST _ids)
      mirel_table_fail(${MIREL_LAYOUT_FILE} "${_raw}" "resource id ${_id} is used twice")
    endif()
    list(APPEND _ids ${_id})
    if(NOT _image MATCHES "^[A-Za-z0-9_./-]+\\.png$" OR NOT EXISTS ${PROJECT_SOURCE_DIR}/${_image})
      mirel_table_fail(${MIREL_LAYOUT_FILE} "${_raw}" "no image ${PROJECT_SOURCE_DIR}/${_image}")
    endif()
    get_filename_component(_folder ${_image} DIRECTORY)
    get_filename_component(_name ${_image} NAME_WE)
    set(_double ${_folder}/2x/${_name}.frames)
    if(NOT EXISTS ${PROJECT_SOURCE_DIR}/${_double})
      mirel_table_fail(${MIREL_LAYOUT_FILE} "${_raw}" "no image at twice the size ${PROJECT_SOURCE_DIR}/${_double} (scripts/artwork)")
    endif()
    math(EXPR _double_id "${_id} + ${MIREL_DOUBLE_SIZE_ID_OFFSET}")
    list(APPEND MIREL_LAYOUT_IMAGES ${PROJECT_SOURCE_DIR}/${_image} ${PROJECT_SOURCE_DIR}/${_double})
    list(APPEND _rc_entries "${_id} PNG \"${PROJECT_SOURCE_DIR}/${_image}\""
                            "${_double_id} PNG \"${PROJECT_SOURCE_DIR}/${_double}\"")
    list(GET _f 4 _frames)
    if(_frames GREATER 1)
      set(_single ${_folder}/1x/${_name}.frames)
      if(NOT EXISTS ${PROJECT_SOURCE_DIR}/${_single})
        mirel_table_fail(${MIREL_LAYOUT_FILE} "${_raw}" "no frames at its own size ${PROJECT_SOURCE_DIR}/${_single} (scripts/artwork)")
      endif()
      math(EXPR _single_id "${_id} + ${MIREL_SINGLE_SIZE_ID_OFFSET}")
      list(APPEND MIREL_LAYOUT_IMAGES ${PROJECT_SOURCE_DIR}/${_single})
      list(APPEND _rc_entries "${_single_id} PNG \"${PROJECT_SOURCE_DIR}/${_single}\"")
    endif()
    string(SUBSTRING "${_kind}" 0 1 _k0)
    string(TOUPPER "${_k0}" _k0)
    string(SUBSTRING "${_kind}" 1 -1 _k1)
    list(SUBLIST _f 4 -1 _geometry)
    list(JOIN _geometry ", " _geometry)
    string(APPEND _controls "    {Kind::k${_k0}${_k1}, ${_param}, ${_id}, \"${_image}\", ${_geometry}},\n")
  endif()
endforeach()
if(_editor STREQUAL "" OR _version STREQUAL "" OR _controls STREQUAL "")
  message(FATAL_ERROR "${MIREL_LAYOUT_FILE}: needs an editor line, controls and a version line")
endif()

list(GET _editor 0 MIREL_LAYOUT_WIDTH)
list(GET _editor 1 MIREL_LAYOUT_HEIGHT)
list(GET _editor 2 MIREL_LAYOUT_FRAME_RATE)
set(MIREL_LAYOUT_CONTROLS "${_controls}")
set(MIREL_LAYOUT_VERSION_RECT "${_version}")
set(MIREL_LAYOUT_NOTICE "Generated by the build from mirel/editor-layout.txt; edit that file, not this one.")
configure_file(${PROJECT_SOURCE_DIR}/mirel/EditorLayout.h.in ${_layout_out}/mirel/EditorLayout.h @ONLY)

# Resource compilers order the entries by id whatever the script's order;
# sorting keeps the script itself stable.
list(SORT _rc_entries COMPARE NATURAL)
list(JOIN _rc_entries "\n" _rc_body)
file(CONFIGURE OUTPUT ${MIREL_IMAGES_RC} CONTENT
"// Generated by the build from mirel/editor-layout.txt: the editor's images as
// resources of type \"PNG\" with integer ids.
${_rc_body}
" @ONLY)

add_library(mirel_layout INTERFACE)
target_include_directories(mirel_layout INTERFACE ${_layout_out})
mirel_export_folder(mirel_layout mirel)
target_link_libraries(mirel_layout INTERFACE plugbase)
