# `format` rewrites every C++ source with the project's .clang-format;
# `format-check` fails when a file is not formatted.
find_program(CLANG_FORMAT_EXE NAMES clang-format clang-format-14)
if(CLANG_FORMAT_EXE)
  file(GLOB_RECURSE ORVANEH_FORMAT_SOURCES CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/Platform/*.h ${CMAKE_SOURCE_DIR}/Platform/*.cpp
       ${CMAKE_SOURCE_DIR}/Classes/*.h ${CMAKE_SOURCE_DIR}/Classes/*.cpp
       "${CMAKE_SOURCE_DIR}/Gestion Site/*.h" "${CMAKE_SOURCE_DIR}/Gestion Site/*.cpp"
       ${CMAKE_SOURCE_DIR}/App/*.h ${CMAKE_SOURCE_DIR}/App/*.cpp
       ${CMAKE_SOURCE_DIR}/tests/*.h ${CMAKE_SOURCE_DIR}/tests/*.cpp
       ${CMAKE_SOURCE_DIR}/benchmarks/*.cpp)
  add_custom_target(format COMMAND ${CLANG_FORMAT_EXE} -i ${ORVANEH_FORMAT_SOURCES}
                    COMMENT "Formatage du code" VERBATIM)
  add_custom_target(format-check COMMAND ${CLANG_FORMAT_EXE} --dry-run --Werror ${ORVANEH_FORMAT_SOURCES}
                    COMMENT "Vérification du formatage" VERBATIM)
endif()
