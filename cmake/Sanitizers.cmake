# Address and undefined-behaviour sanitizers for every target of the build.
if(VANDREL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# GCC's flow analysis sees the sanitizers' instrumentation as reads of
# uninitialised memory (in std::variant moves, for one); the sanitizers
# themselves check for the real thing.
if((VANDREL_SANITIZE OR VANDREL_SANITIZE_THREAD) AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-Wno-maybe-uninitialized)
endif()

# Fuzzing: coverage for libFuzzer, with the address and undefined-behaviour
# sanitizers, in every target.
if(VANDREL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VANDREL_FUZZ needs clang (CXX=clang++-14)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# The thread sanitizer cannot be combined with the address sanitizer; it gets
# a build of its own for the threaded code.
if(VANDREL_SANITIZE_THREAD)
  if(VANDREL_SANITIZE)
    message(FATAL_ERROR "VANDREL_SANITIZE and VANDREL_SANITIZE_THREAD exclude each other")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
