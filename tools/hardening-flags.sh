# Sourced by tools/package.sh and tools/test.sh: Debian's hardening flags, as a package built by
# dpkg-buildpackage would get them, as CMake arguments in HARDENING_CMAKE_ARGS. The test build
# uses them too, so that CI can package the build it has just tested instead of compiling the
# program a second time.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
HARDENING_CMAKE_ARGS=(
    "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
    "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
    "-DCMAKE_MODULE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
)
