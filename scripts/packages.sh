# The Debian 12 packages the build needs; sourced by the run and test scripts.
# python3-markdown turns the user guide into the HTML page that is installed.
# The spectrogram decodes with libmpg123, transforms with FFTW and writes PNG
# files with libpng (their run-time libraries come with these); the audio hash
# is libxxhash's XXH3.
build_packages=(cmake ninja-build g++ pkgconf qt6-base-dev qt6-multimedia-dev python3-markdown
    libmpg123-dev libfftw3-dev libpng-dev libxxhash-dev)
# The tests (and the benchmarks, which the test build compiles so that they
# keep up with the code), and the checks of what an installation holds: the
# desktop entry, the catalog entry and the manual pages; numpy for the test of
# the transcode bench's spectrum measure.
test_packages=(googletest libgtest-dev libbenchmark-dev desktop-file-utils appstream man-db groff-base python3-numpy)
# What the running program needs beyond the build: Qt Multimedia's default
# backend here is GStreamer, which decodes MP3 (mpg123, mpegaudioparse) and
# reaches PulseAudio or PipeWire only with the "good" plugins.
run_packages=(gstreamer1.0-plugins-base gstreamer1.0-plugins-good)
# The Debian package and its trial installation in a fresh system
# (scripts/package.sh): CPack finds library dependencies with dpkg-shlibdeps
# and tells executables by `file`.
package_packages=(dpkg-dev file debootstrap)
# The source checks of CI (scripts/check-sources.sh): the format and the
# include order and function lengths, read by a Python script.
check_packages=(clang-format python3)
# The transcode bench (bench/transcode): the encoders and SoX that make the
# test set, and numpy for the spectrum measure (Debian's python3 sees it).
bench_packages=(lame twolame ffmpeg sox python3-numpy)
