#!/usr/bin/env bash
# Builds Qt Core, Gui and Widgets for 64-bit Windows from Debian's own Qt
# source (the same version as the host's Qt, whose tools it uses) and
# installs them into a cache folder outside the source tree. A second run
# with the same options finds the installed tree and does nothing.
#   build-qt.sh CACHE [core|gui]   prints the installed tree's path last
# core: Qt Core alone (enough for orvalle-report.exe); gui: Core, Gui, Widgets
# and the Windows platform plugin.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=$1
parts=${2:-gui}
version=6.4.2

options=(
  -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64.cmake" -DQT_HOST_PATH=/usr
  -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(gcc -dumpmachine)/cmake"
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF -DFEATURE_testlib=OFF -DFEATURE_printsupport=OFF -DFEATURE_vulkan=OFF
  # Without OpenGL from the first configure, or dynamicgl stays on.
  -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_opengl_dynamic=OFF -DFEATURE_dynamicgl=OFF
  # Debian's repacked source has no src/3rdparty/wintab.
  -DFEATURE_tabletevent=OFF
  # qwindows.dll does not link with DirectWrite 3 but without Direct2D.
  -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF
)
if [ "$parts" = core ]; then
  options+=(-DFEATURE_gui=OFF -DFEATURE_widgets=OFF)
fi
# The key leaves out where the source tree is, so every checkout shares a build.
key=$( { echo "$version"; printf '%s\n' "${options[@]}" | sed "s|$here|packaging/windows|"; } | sha256sum | cut -c1-12)
prefix="$cache/qt-$version-$parts-$key"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

work="$cache/work-$parts-$key"
rm -rf "$work" "$prefix"
mkdir -p "$work"
(
  cd "$work"
  # The source of the Debian package, Debian's patches applied.
  apt-get source --download-only -t "$(. /etc/os-release && echo "$VERSION_CODENAME")" qt6-base >&2
  dsc=(qt6-base_"$version"*.dsc)
  [ -f "${dsc[0]}" ] || { echo "Debian's qt6-base source is not $version" >&2; exit 1; }
  dpkg-source -x "${dsc[0]}" source >&2
  cmake -S source -B build -G Ninja -DCMAKE_INSTALL_PREFIX="$prefix" "${options[@]}" >&2
  cmake --build build -j "$(nproc)" >&2
  cmake --install build >&2
)
touch "$prefix/.complete"
rm -rf "$work"
echo "$prefix"
