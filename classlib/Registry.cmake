# The registry object and INI files, over the Win32 registry and profile
# functions.
list(APPEND CLASSLIB_WIN32_SOURCES Registry.cpp IniFiles.cpp)
list(APPEND CLASSLIB_WIN32_LIBS advapi32)
