# The CMake package that `cmake --install` writes beside the library: an
# author's project outside the tree finds it with find_package(Quillant CONFIG)
# (the prefix in CMAKE_PREFIX_PATH) and configures with the toolchain file
# installed with it. A package built for 64-bit Windows is refused by a 32-bit
# build and the other way round.
include(CMakePackageConfigHelpers)
install(EXPORT QuillantTargets NAMESPACE Quillant:: DESTINATION ${QNT_INSTALL_PACKAGEDIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/QuillantConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_SOURCE_DIR}/cmake/QuillantConfig.cmake
  ${CMAKE_BINARY_DIR}/QuillantConfigVersion.cmake
  ${CMAKE_SOURCE_DIR}/cmake/QuillantSetup.cmake
  ${CMAKE_SOURCE_DIR}/cmake/mingw-common.cmake
  ${CMAKE_SOURCE_DIR}/cmake/toolchain-mingw64.cmake
  ${CMAKE_SOURCE_DIR}/cmake/toolchain-mingw32.cmake
  DESTINATION ${QNT_INSTALL_PACKAGEDIR})

# What `cmake --install` takes, built without the tests:
#   cmake --build build/win64 --target quillant_package
get_property(installed GLOBAL PROPERTY QNT_INSTALLED_TARGETS)
add_custom_target(quillant_package)
add_dependencies(quillant_package ${installed})
