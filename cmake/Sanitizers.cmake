# FERNWICK_SANITIZE: "" (none), "address" (address + undefined) or "thread".
set(FERNWICK_SANITIZE "" CACHE STRING "Sanitizers to build with: address or thread")

if(FERNWICK_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_compile_definitions(_GLIBCXX_ASSERTIONS)
    add_link_options(-fsanitize=address,undefined)
elseif(FERNWICK_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT FERNWICK_SANITIZE STREQUAL "")
    message(FATAL_ERROR "FERNWICK_SANITIZE must be empty, address or thread")
endif()
