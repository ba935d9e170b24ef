# Cross-building for the device's processor (32-bit ARM, hard float) with
# Debian's cross compiler and the armhf packages installed beside this
# machine's own (multiarch; scripts/install-deps --armhf):
#
#   cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/armhf-toolchain.cmake
#
# Programs built this way run here under qemu-arm, which is also what CTest
# puts in front of them.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(LIRRO_CROSS_TRIPLET arm-linux-gnueabihf)
set(CMAKE_C_COMPILER ${LIRRO_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${LIRRO_CROSS_TRIPLET}-g++)
# Multiarch keeps the armhf libraries and their CMake packages in
# /usr/lib/arm-linux-gnueabihf, so the root stays "/" and this directory
# name is what keeps the search away from this machine's own libraries.
set(CMAKE_LIBRARY_ARCHITECTURE ${LIRRO_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

find_program(LIRRO_QEMU_ARM NAMES qemu-arm-static qemu-arm)
if(LIRRO_QEMU_ARM)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${LIRRO_QEMU_ARM})
endif()
