# Sourced by the stages that build and run the Windows programs. The program
# is a 32-bit one, and its tests run under 32-bit Wine wherever the machine
# can run 32-bit programs. Where it cannot (a kernel without 32-bit support),
# the tests run a 64-bit build of the same code under 64-bit Wine, and the
# 32-bit programs are still built and their imports checked.
#   windows_arch        i686 or x86_64: what the tests under Wine run
#   windows_dir         the build folder of that architecture
#   windows_toolchain   its CMake toolchain file
#   windows_prefix      its MinGW tool prefix (e.g. i686-w64-mingw32)
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  windows_arch=i686
  windows_dir="$BUILD_ROOT/windows"
else
  windows_arch=x86_64
  windows_dir="$BUILD_ROOT/windows-x64"  # no "_": the program stores blanks as "_"
fi
windows_toolchain="$PWD/cmake/mingw-$windows_arch.cmake"
windows_prefix="$windows_arch-w64-mingw32"

# windows_configure DIR TOOLCHAIN: configures a Windows build folder.
windows_configure() {
  cmake -S . -B "$1" -DCMAKE_TOOLCHAIN_FILE="$2" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
}
