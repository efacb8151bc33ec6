# Sourced by test.sh and run.sh: installs what is missing and configures and
# builds the two configurations.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_root="$root/build"

# ClamAV's signed test databases, which the test mirror serves.
clamav_testfiles="$build_root/clamav-testfiles"
# test.cld, which Debian's freshclam patched from them.
clamav_patched="$build_root/clamav-patched"

ensure_dependencies() {
  bash "$root/scripts/install-packages.sh"
  bash "$root/scripts/build-mingw-deps.sh" "$build_root/deps"
  bash "$root/scripts/fetch-clamav-testfiles.sh" "$clamav_testfiles"
  bash "$root/scripts/make-patched-database.sh" "$clamav_testfiles" "$clamav_patched"
}

build_native() {
  cmake -S "$root" -B "$build_root/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$build_root/native"
}

build_windows() {
  cmake -S "$root" -B "$build_root/win" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
    -DTOLVAR_DEPS_PREFIX="$build_root/deps/prefix" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build_root/win"
}
