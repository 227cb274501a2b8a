#!/bin/sh
# Installs the build tree into a staging directory and checks that exactly the expected files
# land under the prefix, and that the desktop entry and metainfo find what they name there: the
# program, the icon in every size and the desktop entry itself.
# Usage: check-install.sh BUILD_DIR
set -u
build=$1
id=org.quillmere.quillmere
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage="$work/stage"

fail()
{
    echo "FAIL: $*"
    exit 1
}

# A destination outside the prefix would land beside usr/ in the stage, and show in the list.
DESTDIR="$stage" cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 \
    || { cat "$work/install.log"; fail "cmake --install failed"; }

(cd "$stage" && find . ! -type d | sed 's|^\.||' | sort) >"$work/actual"
sort >"$work/expected" <<LIST
/usr/bin/quillmere
/usr/share/applications/$id.desktop
/usr/share/doc/quillmere/changelog.gz
/usr/share/doc/quillmere/copyright
/usr/share/icons/hicolor/16x16/apps/$id.png
/usr/share/icons/hicolor/32x32/apps/$id.png
/usr/share/icons/hicolor/48x48/apps/$id.png
/usr/share/icons/hicolor/scalable/apps/$id.svg
/usr/share/man/man1/quillmere.1.gz
/usr/share/metainfo/$id.metainfo.xml
LIST
diff -u "$work/expected" "$work/actual" || fail "the installed files differ from the list"

usr="$stage/usr"
entry="$usr/share/applications/$id.desktop"
exec_line=$(sed -n 's/^Exec=//p' "$entry")
[ -x "$usr/bin/$exec_line" ] || fail "Exec=$exec_line is not an installed program"
icon=$(sed -n 's/^Icon=//p' "$entry")
for icon_file in 16x16/apps/$icon.png 32x32/apps/$icon.png 48x48/apps/$icon.png \
    scalable/apps/$icon.svg; do
    [ -f "$usr/share/icons/hicolor/$icon_file" ] || fail "Icon=$icon has no $icon_file"
done
launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' \
    "$usr/share/metainfo/$id.metainfo.xml")
[ "$launchable" = "$id.desktop" ] || fail "the metainfo launches \"$launchable\""
gzip -t "$usr/share/man/man1/quillmere.1.gz" "$usr/share/doc/quillmere/changelog.gz" \
    || fail "a compressed file is damaged"
echo "PASS: the install tree holds exactly the expected files, and they agree"
