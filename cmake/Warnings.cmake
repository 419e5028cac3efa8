# Warnings for our own code; Qt and system headers come in as -isystem.
# KS_WERROR makes them errors. It is on in scripts/ (CI and developer builds),
# off by default so that a user building a release with another compiler
# version still gets a program when that compiler finds something new.
option(KS_WERROR "Treat compiler warnings in our own code as errors" OFF)

function(ks_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic
    -Wno-missing-field-initializers)
  # GCC 12 takes std::string's own copies for overlapping ones once it has
  # inlined them at -O3 (GCC bugs 105329 and 105651, mended in GCC 13): any
  # assignment of a one-character literal or operator+ on strings may set off
  # a -Wrestrict that is not true. That compiler alone leaves the check out.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
     AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(KS_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
