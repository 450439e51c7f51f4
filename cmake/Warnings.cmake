# orvaneh_warnings(target): the project's warning set, kept clean.
function(orvaneh_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion -Wnon-virtual-dtor)
  if(ORVANEH_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(ORVANEH_SANITIZE)
    # Under the sanitizers' instrumentation GCC 12 reports uses of uninitialised values inside
    # the standard library (std::regex) that are not there; the normal build keeps the warning.
    target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
  endif()
endfunction()
