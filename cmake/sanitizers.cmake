# AddressSanitizer and UndefinedBehaviorSanitizer for the whole build; any
# finding aborts the process, so a test that triggers one fails.
if(VELKOR_SANITIZE)
  set(VELKOR_SANITIZER_FLAGS
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${VELKOR_SANITIZER_FLAGS})
  add_link_options(${VELKOR_SANITIZER_FLAGS})
endif()

# ThreadSanitizer, for the tests that call the library from several threads
# at once. It cannot share a build with AddressSanitizer.
option(VELKOR_TSAN "Build with ThreadSanitizer" OFF)
if(VELKOR_TSAN)
  if(VELKOR_SANITIZE)
    message(FATAL_ERROR "VELKOR_TSAN and VELKOR_SANITIZE exclude each other")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
