# A cross build runs its programs here under qemu-user (the toolchain names
# it as CMake's emulator), with a small library in front of Qt that keeps
# QProcess working there (see qemu-nopidfd.cpp).
if(CMAKE_CROSSCOMPILING_EMULATOR)
    add_library(qemu-nopidfd SHARED ${CMAKE_CURRENT_LIST_DIR}/qemu-nopidfd.cpp)
    target_link_libraries(qemu-nopidfd PRIVATE ${CMAKE_DL_LIBS})
    list(APPEND CMAKE_CROSSCOMPILING_EMULATOR -E LD_PRELOAD=$<TARGET_FILE:qemu-nopidfd>)
endif()
