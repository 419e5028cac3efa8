# Warnings for our own code; Qt and system headers come in as -isystem.
# KS_WERROR makes them errors. It is on in scripts/ (CI and developer builds),
# off by default so that a user building a release with another compiler
# version still gets a program when that compiler finds something new.
option(KS_WERROR "Treat compiler warnings in our own code as errors" OFF)

function(ks_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic
    -Wno-missing-field-initializers)
  if(KS_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
