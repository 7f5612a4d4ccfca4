#!/usr/bin/env bash
# Builds SQLite and PostgreSQL's client library (libpq) for 64-bit Windows,
# from Debian's own sources (the same versions as the host's) and installs
# them with Graphviz's headers into a cache folder outside the source tree:
# include/, lib/ (import libraries) and bin/ (the DLLs). A second run finds the installed tree.
#   build-libraries.sh CACHE   prints the installed tree's path last
set -euo pipefail
cache=$1
recipe=1 # raised whenever what follows changes what is built
triple=x86_64-w64-mingw32
versions=$(dpkg-query -W -f='${Version} ' libsqlite3-dev libpq-dev libgraphviz-dev)
key=$( { echo "$recipe $versions"; } | sha256sum | cut -c1-12)
prefix="$cache/libraries-$key"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

work="$cache/work-libraries-$key"
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix/include" "$prefix/lib" "$prefix/bin"
cd "$work"
# The release's own sources, not a security update's, which a mirror need
# not carry.
apt-get source --download-only -t "$(. /etc/os-release && echo "$VERSION_CODENAME")" \
  sqlite3 "postgresql-$(pg_config --version | sed 's/^PostgreSQL \([0-9]*\).*/\1/')" >&2

# SQLite: its one-file form, made by a host build (which needs tclsh), then
# compiled as a DLL.
dpkg-source -x sqlite3_*.dsc sqlite >&2
mkdir sqlite/host
(cd sqlite/host && ../configure --disable-tcl --disable-readline >&2 && make sqlite3.c >&2)
"$triple-gcc-posix" -O2 -shared -DSQLITE_API='__declspec(dllexport)' -DSQLITE_ENABLE_MATH_FUNCTIONS \
  -o "$prefix/bin/sqlite3.dll" sqlite/host/sqlite3.c -Wl,--out-implib,"$prefix/lib/libsqlite3.dll.a" >&2
cp sqlite/host/sqlite3.h sqlite/host/sqlite3ext.h "$prefix/include/"

# libpq, as PostgreSQL builds it for mingw; without SSL, compression or
# Kerberos, which a local load does not need.
dpkg-source -x postgresql-*.dsc pg >&2
(
  cd pg
  ./configure --host="$triple" --without-readline --without-zlib --without-icu --without-openssl \
    --without-ldap --without-gssapi >&2
  make -C src/interfaces/libpq -j "$(nproc)" >&2
)
cp pg/src/interfaces/libpq/libpq.dll "$prefix/bin/"
cp pg/src/interfaces/libpq/libpq.a "$prefix/lib/libpq.dll.a"
cp pg/src/interfaces/libpq/libpq-fe.h pg/src/include/postgres_ext.h pg/src/include/pg_config_ext.h "$prefix/include/"

# Graphviz's headers, the host's: the programs load its DLLs when a diagram
# is drawn, from where Graphviz's own Windows installer puts them.
cp -r /usr/include/graphviz "$prefix/include/"

touch "$prefix/.complete"
cd /
rm -rf "$work"
echo "$prefix"
