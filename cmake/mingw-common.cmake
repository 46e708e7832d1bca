set(CMAKE_C_COMPILER   ${QNT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QNT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${QNT_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QNT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Installed with the library's package (<prefix>/lib/cmake/Quillant), this
# file makes that prefix a root in which find_package(Quillant CONFIG) looks.
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/QuillantTargets.cmake)
  get_filename_component(QNT_PACKAGE_PREFIX ${CMAKE_CURRENT_LIST_DIR}/../../.. ABSOLUTE)
  list(APPEND CMAKE_FIND_ROOT_PATH ${QNT_PACKAGE_PREFIX})
endif()
# Every program and library stands alone: no MinGW runtime DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
