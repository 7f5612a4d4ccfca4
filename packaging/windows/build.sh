#!/usr/bin/env bash
# The Windows programs, cross-built on Debian: Qt and the libraries first
# (once, into a cache folder outside the source tree), then orvalle-report.exe
# and Orvalle.exe, a zip and an installer.
#   packaging/windows/build.sh [gui|core]
# core: orvalle-report.exe alone, against Qt Core alone.
# ORVALLE_WINDOWS_CACHE: the cache folder (default ~/.cache/orvalle-windows).
# Prints the folder the programs are installed in (build/windows*/stage);
# gui also makes build/windows/Orvalle-VERSION-windows-x64.zip and
# build/windows/Orvalle-VERSION-setup.exe.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
parts=${1:-gui}
cache=${ORVALLE_WINDOWS_CACHE:-$HOME/.cache/orvalle-windows}
mkdir -p "$cache"

# Debian's sources of Qt, SQLite and PostgreSQL: a deb-src entry for the
# mirror the machine already uses, when it has none. Not for the security
# archive, whose mirrors need not carry sources: the release's own are taken.
if ! apt-get source --print-uris qt6-base >/dev/null 2>&1; then
  list=/etc/apt/sources.list.d/debian.sources
  [ -f "$list" ] || { echo "No deb-src entry and no $list to make one from" >&2; exit 1; }
  awk 'BEGIN { RS = ""; ORS = "\n\n" } !/security/ { sub(/Types: deb(\n|$)/, "Types: deb-src\n"); print }' "$list" \
    > /etc/apt/sources.list.d/orvalle-deb-src.sources
  apt-get update >&2
fi

qt=$("$here/build-qt.sh" "$cache" "$parts" | tail -n 1)
libraries=$("$here/build-libraries.sh" "$cache" | tail -n 1)

build="$source_dir/build/windows"
[ "$parts" = core ] && build="$source_dir/build/windows-core"
gui=ON
[ "$parts" = core ] && gui=OFF
cmake -S "$source_dir" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64.cmake" \
  -DCMAKE_FIND_ROOT_PATH="$qt;$libraries" -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(gcc -dumpmachine)/cmake" \
  -DCMAKE_BUILD_TYPE=Release -DORVALLE_BUILD_TESTS=OFF -DORVALLE_GUI=$gui \
  -DORVALLE_WINDOWS_DLL_DIRS="$libraries/bin" \
  -DORVALLE_WARNINGS_AS_ERRORS="${ORVALLE_WARNINGS_AS_ERRORS:-ON}" \
  -DCMAKE_INSTALL_PREFIX="$build/stage" >&2
cmake --build "$build" -j "$(nproc)" >&2
rm -rf "$build/stage"
cmake --install "$build" --strip >&2
# The DLLs copied beside the programs come with their symbols.
find "$build/stage" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +

if [ "$parts" = gui ]; then
  version=$(sed -n 's/^project(Orvalle VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
  zip="$build/Orvalle-$version-windows-x64.zip"
  rm -f "$zip"
  # One folder, Orvalle, holding everything: unzipped anywhere, it runs.
  rm -rf "$build/zip" && mkdir -p "$build/zip" && cp -r "$build/stage" "$build/zip/Orvalle"
  (cd "$build/zip" && zip -qr -X "$zip" Orvalle)
  # What the uninstaller removes: every file installed, then every folder,
  # the deepest first.
  files="$build/installed-files.nsh"
  (
    cd "$build/stage"
    find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|  Delete "$INSTDIR\\&"|'
    find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|  RMDir "$INSTDIR\\&"|'
  ) > "$files"
  makensis -V2 -DSTAGE="$build/stage" -DVERSION="$version" -DFILELIST="$files" \
    -DOUTFILE="$build/Orvalle-$version-setup.exe" "$here/installer.nsi" >&2
fi
echo "$build/stage"
