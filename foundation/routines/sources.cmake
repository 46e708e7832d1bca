list(APPEND FOUNDATION_SOURCES
  routines/routines_Strings.cpp
  routines/routines_Components.cpp)
list(APPEND FOUNDATION_WIN32_SOURCES
  routines/routines_API.cpp
  routines/routines_FileSystem.cpp)
list(APPEND FOUNDATION_WIN32_LIBS shell32 ole32)
list(APPEND FOUNDATION_WIN32_SOURCES
  routines/routines_Registry.cpp
  routines/routines_INIFiles.cpp
  routines/routines_ExpandPaths.cpp)
list(APPEND FOUNDATION_WIN32_LIBS advapi32)
# One product, one run at a time (the setup program and the uninstaller).
list(APPEND FOUNDATION_WIN32_SOURCES routines/routines_ProductLock.cpp)
# The private copies a setup writes while it installs a file (the setup
# program and the uninstaller).
list(APPEND FOUNDATION_WIN32_SOURCES routines/routines_InstallParts.cpp)
