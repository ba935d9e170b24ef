# A cross build runs its programs here under qemu-user (the toolchain names
# it as CMake's emulator), with a small library in front of Qt that keeps
# QProcess working there (see qemu-nopidfd.cpp).
if(CMAKE_CROSSCOMPILING_EMULATOR)
    add_library(qemu-nopidfd SHARED ${CMAKE_CURRENT_LIST_DIR}/qemu-nopidfd.cpp)
    target_link_libraries(qemu-nopidfd PRIVATE ${CMAKE_DL_LIBS})
    list(APPEND CMAKE_CROSSCOMPILING_EMULATOR -E LD_PRELOAD=$<TARGET_FILE:qemu-nopidfd>)
    # Only the program's code runs under qemu: what its tests start beside it
    # (the stand-ins) comes from a build for this machine.
    set(LIRRO_STAND_INS_BUILD "" CACHE PATH "A build of this tree for this machine with its stand-ins built")
    # lirro as this machine runs it by path, as binfmt would: for the tests
    # that start it and the benchmark.
    string(REPLACE ";" " " emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
    file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/emulated/src/lirro
         CONTENT "#!/bin/sh\nexec ${emulator} $<TARGET_FILE:lirro> \"$@\"\n"
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endif()
