#!/bin/sh
# Builds the Debian package from the build tree with CPack, as `make package` does, and checks
# it: dependencies found automatically, section editors, a stripped program, and lintian with
# no error.
# Usage: check-package.sh BUILD_DIR OUTPUT_DIR
set -u
build=$1
out=$2
here=$(dirname "$0")

fail()
{
    echo "FAIL: $*"
    exit 1
}

for tool in dpkg-shlibdeps lintian; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed ('make test' installs it)"
        exit 77
    fi
done

rm -rf "$out"
mkdir -p "$out"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 \
    || { cat "$out/cpack.log"; fail "cpack failed"; }
set -- "$out"/quillmere_*.deb
[ -f "$1" ] || fail "cpack made no quillmere_*.deb"
deb=$1

depends=$(dpkg-deb --field "$deb" Depends)
case "$depends" in
    *libqt6widgets6*libc6* | *libc6*libqt6widgets6*) ;;
    *) fail "Depends lacks the Qt and C libraries: $depends" ;;
esac
[ "$(dpkg-deb --field "$deb" Section)" = editors ] || fail "the section is not editors"
dpkg-deb --fsys-tarfile "$deb" | tar -x -O ./usr/bin/quillmere >"$out/quillmere"
file "$out/quillmere" | grep -q ', stripped' || fail "the packaged program is not stripped"
echo "Depends: $depends"

sh "$here/check-clean.sh" lintian --allow-root --fail-on error "$deb"
