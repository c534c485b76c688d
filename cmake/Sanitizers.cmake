# Address and undefined-behaviour sanitizers for every target of the build.
if(VANDREL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# The thread sanitizer cannot be combined with the address sanitizer; it gets
# a build of its own for the threaded code.
option(VANDREL_SANITIZE_THREAD "Build with the thread sanitizer" OFF)
if(VANDREL_SANITIZE_THREAD)
  if(VANDREL_SANITIZE)
    message(FATAL_ERROR "VANDREL_SANITIZE and VANDREL_SANITIZE_THREAD exclude each other")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
