# Threads with calls handed to their creating thread, and the per-thread
# message pump.
list(APPEND CLASSLIB_WIN32_SOURCES Threads.cpp)
list(APPEND CLASSLIB_WIN32_LIBS user32)
