# Cross build for 64-bit ARM Linux (Debian's arm64, e.g. a Raspberry Pi 4 or 5)
# with Debian's aarch64-linux-gnu GCC, against Debian's own arm64 libraries
# installed beside the machine's amd64 ones (scripts/build-arm64.sh installs
# both). The programs and tests run here under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Libraries and headers from the arm64 multiarch folders only; programs
# (pkg-config, the host's orvo-assetgen) from the machine.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig")

# ctest runs the test programs through qemu-user, with the loader of the
# arm64 multiarch libc6 (-L /). Not the cross toolchain's copy in
# /usr/aarch64-linux-gnu: that loader, of another glibc build, beside the
# multiarch libc.so.6 the libraries pull in, leaves every new thread and
# every forked child spinning.
find_program(ORVO_QEMU_AARCH64 qemu-aarch64)
if(ORVO_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVO_QEMU_AARCH64} -L /)
endif()
