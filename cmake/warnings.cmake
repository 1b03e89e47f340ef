# Warnings for every target of ours. They are errors only where asked
# (VELKOR_WERROR: the CI and developers' builds), never in a packager's or
# user's build, where a newer compiler's new warning must not stop it. The
# option's default comes from the environment variable of the same name, so
# that one setting reaches every build a test script makes.
if(DEFINED ENV{VELKOR_WERROR} AND "$ENV{VELKOR_WERROR}")
  set(velkor_werror_default ON)
else()
  set(velkor_werror_default OFF)
endif()
option(VELKOR_WERROR "Treat compiler warnings as errors" ${velkor_werror_default})

function(velkor_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${VELKOR_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${VELKOR_WERROR}>:-Werror>)
  endif()
endfunction()
