# ctest reads this only when the preset's build folder does not exist yet and
# it falls back to the source folder; without it, it would find no tests and
# exit 0.
message(FATAL_ERROR "build the windows preset first (or the preset you named): "
  "cmake --preset windows && cmake --build --preset windows")
