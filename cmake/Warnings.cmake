# Warnings are errors for our own code; Qt and system headers come in as -isystem.
function(ks_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
    -Wno-missing-field-initializers)
endfunction()
