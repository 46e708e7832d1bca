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

# The Wine runner of an author's prefix, with the tests' environment that it
# sources; beside the build's programs too, where the guide's test finds it.
foreach(script qnt-wine wine-env.sh)
  configure_file(${CMAKE_SOURCE_DIR}/tools/${script} ${CMAKE_BINARY_DIR}/bin/${script} COPYONLY)
endforeach()
install(PROGRAMS ${CMAKE_SOURCE_DIR}/tools/qnt-wine ${CMAKE_SOURCE_DIR}/tools/wine-env.sh DESTINATION ${QNT_INSTALL_BINDIR})

# What `cmake --install` takes, built without the tests:
#   cmake --build build/win64 --target quillant_package
get_property(installed GLOBAL PROPERTY QNT_INSTALLED_TARGETS)
add_custom_target(quillant_package)
add_dependencies(quillant_package ${installed})
