# The Debian 12 packages the build needs; sourced by the run and test scripts.
build_packages=(cmake ninja-build g++ pkgconf qt6-base-dev qt6-multimedia-dev)
test_packages=(googletest libgtest-dev)
