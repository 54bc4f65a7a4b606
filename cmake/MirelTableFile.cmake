# Reading the product's table files (mirel/parameters.txt,
# mirel/editor-layout.txt) at configure time.

# Reads the lines of a table file into out, and re-runs the configuration
# when the file or the template generated from it changes.
function(mirel_read_table_file file template out)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file} ${template})
  file(STRINGS ${file} _lines)
  set(${out} "${_lines}" PARENT_SCOPE)
endfunction()

# Stops the configuration at a malformed line of a table file, quoting it.
function(mirel_table_fail file line why)
  message(FATAL_ERROR "${file}: ${why}:\n  ${line}")
endfunction()

# Stops the configuration unless every value matches regex; `what` names the
# kind of value ("a number").
function(mirel_table_require_all file line values regex what)
  foreach(_v IN LISTS values)
    if(NOT _v MATCHES "${regex}")
      mirel_table_fail(${file} "${line}" "'${_v}' is not ${what}")
    endif()
  endforeach()
endfunction()
