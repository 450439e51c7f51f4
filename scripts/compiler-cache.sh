#!/usr/bin/env bash
# Prints the CMake options that put ccache in front of the compilers when it is installed, so
# repeated builds on a developer's machine are quick; prints nothing otherwise.
if command -v ccache >/dev/null; then
  echo "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
fi
