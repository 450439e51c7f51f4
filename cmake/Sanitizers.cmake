if(ORVANEH_SANITIZE AND ORVANEH_TSAN)
  message(FATAL_ERROR "ORVANEH_SANITIZE et ORVANEH_TSAN s'excluent : configurez deux répertoires de construction.")
endif()
if(ORVANEH_SANITIZE)
  # Undefined behaviour stops the program, so a test cannot pass over it.
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined)
endif()
if(ORVANEH_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
