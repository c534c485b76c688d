# The Debian 12 packages the build needs; sourced by the run and test scripts.
build_packages=(cmake ninja-build g++ pkgconf qt6-base-dev qt6-multimedia-dev)
test_packages=(googletest libgtest-dev)
# What the running program needs beyond the build: Qt Multimedia's default
# backend here is GStreamer, which decodes MP3 (mpg123, mpegaudioparse) and
# reaches PulseAudio or PipeWire only with the "good" plugins.
run_packages=(gstreamer1.0-plugins-base gstreamer1.0-plugins-good)
