# The warning set every target of ours compiles with.
option(FERNWICK_WERROR "Treat warnings as errors" OFF)

function(fernwick_set_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
        -Wold-style-cast -Wcast-qual -Wimplicit-fallthrough)
    if(FERNWICK_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
