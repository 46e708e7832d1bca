list(APPEND FOUNDATION_SOURCES
  archive/cmp_TQlntCompress_Headers.cpp
  archive/routines_Compression.cpp)
list(APPEND FOUNDATION_WIN32_SOURCES
  archive/cmp_TVersion.cpp
  archive/cmp_TQlntCompress.cpp
  archive/cmp_TQlntCompress_Add.cpp
  archive/cmp_TQlntCompress_PackAhead.cpp
  archive/cmp_TQlntCompress_UnpackAhead.cpp)
list(APPEND FOUNDATION_LIBS z)
list(APPEND FOUNDATION_WIN32_LIBS version)
