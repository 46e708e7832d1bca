list(APPEND CLASSLIB_SOURCES TypInfo.cpp FormReader.cpp Graphics.cpp)
