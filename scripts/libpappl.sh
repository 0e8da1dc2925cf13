#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Builds the printer application's own libpappl: Debian's pappl 1.3.1 source
# package with the project's patches (app/libpappl/patches, applied in the
# order of app/libpappl/series), as a static library in build-deps/pappl
# (or $TVL_PAPPL_DIR). Called by scripts/install-deps.sh.
#
# The source comes from the Debian archive this machine already uses, through
# a private sources list and lists folder made from its configured entries:
# the machine's apt configuration is read, never changed.
#
# Built once: a stamp of the version and patches marks the result, and a run
# with the same stamp does nothing. CMake checks the same stamp
# (app/CMakeLists.txt).
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
VERSION=1.3.1
DEBIAN_VERSION=1.3.1-2
PATCHES="$ROOT/app/libpappl"
PREFIX="${TVL_PAPPL_DIR:-$ROOT/build-deps/pappl}"

# The stamp: the version, then every patch in order.
stamp() {
    {
        printf "pappl %s\n" "$VERSION"
        while read -r patch; do
            case "$patch" in '' | '#'*) continue ;; esac
            cat "$PATCHES/patches/$patch"
        done <"$PATCHES/series"
    } | sha256sum | cut -d' ' -f1
}
STAMP=$(stamp)
if [ -f "$PREFIX/lib/libpappl.a" ] && [ "$(cat "$PREFIX/stamp" 2>/dev/null)" = "$STAMP" ]; then
    exit 0
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tvl-pappl.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
# apt's downloader runs as _apt where it can: let it into the folder.
chmod 755 "$WORK"

# deb-src twins of the configured deb entries, in a private apt setup.
apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' 'Identifier: Packages' |
    sort -u | while read -r uri suite component; do
    echo "deb-src $uri $suite $component"
done >"$WORK/sources.list"
if [ ! -s "$WORK/sources.list" ]; then
    echo "libpappl: no Debian archive is configured for apt" >&2
    exit 1
fi
mkdir -p "$WORK/lists/partial"
APT="-o Dir::Etc::SourceList=$WORK/sources.list -o Dir::Etc::SourceParts=/dev/null -o Dir::State::Lists=$WORK/lists"
# shellcheck disable=SC2086
apt-get $APT -q update >"$WORK/update.log" 2>&1 || true

# apt-get checks every file it fetches against the archive's signed index.
# When the archive serves the .orig tarball but not Debian's own packaging
# (seen on some mirrors), the upstream source is built alone: the project's
# patches need nothing from the packaging.
mkdir -p "$WORK/src"
# shellcheck disable=SC2086
if ! (cd "$WORK/src" && apt-get $APT -q source "pappl=$DEBIAN_VERSION" >"$WORK/source.log" 2>&1); then
    if [ ! -f "$WORK/src/pappl_$VERSION.orig.tar.gz" ]; then
        cat "$WORK/update.log" "$WORK/source.log" >&2
        echo "libpappl: cannot fetch Debian's pappl $DEBIAN_VERSION source package" >&2
        exit 1
    fi
    echo "libpappl: the archive has no Debian packaging for pappl $DEBIAN_VERSION: building its checked .orig source"
    tar -xzf "$WORK/src/pappl_$VERSION.orig.tar.gz" -C "$WORK/src"
fi
SRC="$WORK/src/pappl-$VERSION"

while read -r patch; do
    case "$patch" in '' | '#'*) continue ;; esac
    echo "libpappl: applying $patch"
    patch -d "$SRC" -p1 --quiet --no-backup-if-mismatch <"$PATCHES/patches/$patch"
done <"$PATCHES/series"

# A static library only, with the TLS library that Debian's libpappl uses.
rm -rf "$PREFIX"
(
    cd "$SRC"
    ./configure --prefix="$PREFIX" --disable-shared --with-tls=gnutls --with-dnssd=avahi >"$WORK/configure.log" 2>&1 ||
        { cat "$WORK/configure.log" >&2; exit 1; }
    make -C pappl -j"$(nproc)" >"$WORK/make.log" 2>&1 || { tail -n 40 "$WORK/make.log" >&2; exit 1; }
    make -C pappl install >>"$WORK/make.log" 2>&1 || { tail -n 40 "$WORK/make.log" >&2; exit 1; }
)
echo "$STAMP" >"$PREFIX/stamp"
echo "libpappl: pappl $VERSION with $(grep -c '^[0-9]' "$PATCHES/series") patches built in $PREFIX"
