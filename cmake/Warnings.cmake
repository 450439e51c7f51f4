# orvaneh_warnings(target): the project's warning set, kept clean.
function(orvaneh_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion -Wnon-virtual-dtor)
  if(ORVANEH_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
