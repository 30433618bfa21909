# Cross build for Linux on aarch64 (arm64) with Debian's cross compiler
# (g++-aarch64-linux-gnu). Its tools run on other machines under qemu's user-mode
# emulator (qemu-user-static), which CMake and the tests use to start them.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
find_program(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static)
# The tools need no target libraries: nothing is searched for in the host's folders.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Flags of this processor family for the tools (the x86-64 ones are in CMakeLists.txt).
# arm64 kernels run with 4, 16 or 64 KiB pages, so the linker aligns segments to 64 KiB.
# Placing the writable segment (zeroed data only) on such a boundary of its own gives it
# file offset 0, as on x86-64, rather than an offset past the end of the file, which
# the section-stripping step refuses.
set(KAVRO_ARCH_FLAGS "")
set(KAVRO_ARCH_LINK_FLAGS -Wl,-z,common-page-size=65536)
