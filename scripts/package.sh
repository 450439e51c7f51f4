#!/usr/bin/env bash
# Builds the Debian package orvaneh_<version>_<arch>.deb (Release, without the tests) into
# build-package/, after checking the menu entry and the AppStream description.
# Install it with: apt-get install ./build-package/orvaneh_*.deb
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-package"
"$root/scripts/install-deps.sh" desktop-file-utils appstream
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# Optimised as Debian builds its packages (-O2, which the warning-clean builds use too; g++ 12
# reports false -Wrestrict faults in std::string at -O3).
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DORVANEH_WERROR=ON -DORVANEH_BUILD_TESTS=OFF -DORVANEH_DESKTOP=ON -DCMAKE_INSTALL_PREFIX=/usr \
  "${launcher[@]}" >/dev/null
# Without the tests, everything is what the package holds.
cmake --build "$build" -j"$(nproc)"
desktop-file-validate "$root/packaging/org.orvaneh.Orvaneh.desktop"
appstreamcli validate --no-net --pedantic "$build/packaging/org.orvaneh.Orvaneh.metainfo.xml"
(cd "$build" && cpack -G DEB)
ls "$build"/orvaneh_*.deb
