# Warnings as errors on our own code only (third-party code keeps its own flags).
function(mirel_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
    -Wnon-virtual-dtor -Woverloaded-virtual -Werror)
endfunction()
