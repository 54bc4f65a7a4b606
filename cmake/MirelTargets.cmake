# Warnings as errors on our own code only (third-party code keeps its own flags).
function(mirel_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
    -Wnon-virtual-dtor -Woverloaded-virtual -Werror)
endfunction()

# Each library hands on exactly its own folder. Its include root holds one
# link named like the folder, so that "plugbase/IEffectBase.h" resolves for the
# library and for whatever links it, while no other folder of the tree does:
# a header reached past the library's layer is a compile error.
function(mirel_folder_root folder out)
  set(root "${CMAKE_BINARY_DIR}/include/${folder}")
  if(NOT IS_SYMLINK "${root}/${folder}")
    get_filename_component(parent "${root}/${folder}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    file(CREATE_LINK "${PROJECT_SOURCE_DIR}/${folder}" "${root}/${folder}" SYMBOLIC)
  endif()
  set(${out} "${root}" PARENT_SCOPE)
endfunction()

# mirel_export_folder(<target> <folder> [PRIVATE]): the target's own folder, for
# itself and (unless PRIVATE) for its users.
function(mirel_export_folder target folder)
  mirel_folder_root(${folder} root)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE "${root}")
  elseif("PRIVATE" IN_LIST ARGN)
    target_include_directories(${target} PRIVATE "${root}")
  else()
    target_include_directories(${target} PUBLIC "${root}")
  endif()
endfunction()
