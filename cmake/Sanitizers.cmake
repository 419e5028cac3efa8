if(KS_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(KS_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT KS_SANITIZE STREQUAL "")
  message(FATAL_ERROR "KS_SANITIZE must be empty, 'address' or 'thread'")
endif()

# Fuzz builds instrument all of our code for coverage so that the fuzzer is
# guided through the decoders, not only through the fuzz entry points.
if(KS_BUILD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
