list(APPEND CLASSLIB_SOURCES TypInfo.cpp FormReader.cpp Graphics.cpp)
# Bitmaps and pictures over the system's GDI.
list(APPEND CLASSLIB_WIN32_SOURCES Graphics_Bitmap.cpp)
list(APPEND CLASSLIB_WIN32_LIBS gdi32 msimg32)
