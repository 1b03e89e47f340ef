# AddressSanitizer and UndefinedBehaviorSanitizer for the whole build; any
# finding aborts the process, so a test that triggers one fails.
if(VELKOR_SANITIZE)
  set(VELKOR_SANITIZER_FLAGS
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${VELKOR_SANITIZER_FLAGS})
  add_link_options(${VELKOR_SANITIZER_FLAGS})
endif()
