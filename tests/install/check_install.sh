#!/usr/bin/env bash
# Installs a built Banterly into a scratch prefix and builds its Debian
# package, and checks what a desktop and a package manager will see: the
# installed files, the desktop entry, the AppStream metadata, the manual page
# and the package. Usage: check_install.sh BUILD_FOLDER (configured and with
# banterly built; nothing is configured here).
set -euo pipefail

build=$(cd "${1:?usage: check_install.sh BUILD_FOLDER}" && pwd)
id=org.example.Banterly
tmp=$(mktemp -d)
# cmake --install and cpack rewrite the build folder's list of installed
# files; keep the list of the user's own install.
manifest=$build/install_manifest.txt
[ -f "$manifest" ] && cp -p "$manifest" "$tmp/install_manifest.txt"
restore() {
  if [ -f "$tmp/install_manifest.txt" ]; then cp -p "$tmp/install_manifest.txt" "$manifest"
  else rm -f "$manifest"; fi
  rm -rf "$tmp"
}
trap restore EXIT
export LC_ALL=C.UTF-8

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

[ -x "$build/banterly" ] \
  || { echo "$build/banterly is not built: cmake --build $build --target banterly" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "no project version in $build/CMakeCache.txt" >&2; exit 1; }

echo "== cmake --install into $tmp/prefix"
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
prefix=$tmp/prefix

expected=(
  bin/banterly
  share/applications/$id.desktop
  share/icons/hicolor/scalable/apps/$id.svg
  share/man/man1/banterly.1
  share/metainfo/$id.metainfo.xml
)
for n in 16 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${n}x${n}/apps/$id.png")
done
diff -u <(printf '%s\n' "${expected[@]}" | sort) \
        <(cd "$prefix" && find . -type f -printf '%P\n' | sort) \
  || fail "installed files differ from the expected list (- expected, + installed)"
[ -x "$prefix/bin/banterly" ] || fail "bin/banterly is not executable"

# A PNG rendered at the wrong size is scaled (blurred) by every icon theme.
for n in 16 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${n}x${n}/apps/$id.png
  [ -f "$png" ] && ! file -b "$png" | grep -q "PNG image data, $n x $n," \
    && fail "$png is not a $n x $n PNG: $(file -b "$png")"
done

echo "== desktop entry"
desktop=$prefix/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
# The entry must start the installed program and name the installed icon.
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ "$icon" = "$id" ] || fail "Icon=$icon does not name the installed icon $id"
while read -r exec; do
  prog=${exec%% *}
  [ -x "$prefix/bin/$prog" ] || fail "Exec=$exec runs $prog, which is not installed in bin/"
done < <(sed -n 's/^Exec=//p' "$desktop")

echo "== AppStream metadata"
metainfo=$prefix/share/metainfo/$id.metainfo.xml
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
# validate-tree also checks that the launchable names an installed desktop entry.
appstreamcli validate-tree --no-net "$prefix" || fail "appstreamcli validate-tree"
grep -q "<release version=\"$version\"" "$metainfo" \
  || fail "the metadata has no release entry for version $version"

echo "== manual page"
man1=$prefix/share/man/man1/banterly.1
warnings=$(MANWIDTH=80 man --warnings -l "$man1" 2>&1 >/dev/null) || fail "man -l failed"
[ -z "$warnings" ] || fail "man --warnings: $warnings"
grep -q "^\.TH BANTERLY 1 .*\"Banterly $version\"" "$man1" \
  || fail "the manual page's title line does not name version $version"
for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES "SEE ALSO"; do
  grep -q "^\.SH \"\?$section\"\?$" "$man1" || fail "the manual page has no $section section"
done

echo "== Debian package"
(cd "$build" && cpack -G DEB -B "$tmp/package" >"$tmp/cpack.log" 2>&1) \
  || { cat "$tmp/cpack.log" >&2; fail "cpack -G DEB"; }
deb=$tmp/package/banterly_${version}_$(dpkg --print-architecture).deb
if [ -f "$deb" ]; then
  dpkg-deb -I "$deb" control
  diff -u <(printf './usr/%s\n' "${expected[@]}" | sort) \
          <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort) \
    || fail "the package's files differ from the expected list (- expected, + packaged)"
  [ "$(dpkg-deb -f "$deb" Package)" = banterly ] || fail "package name"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
  # dpkg-shlibdeps found the Qt libraries the program links.
  dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' \
    || fail "Depends lacks the Qt 6 widgets library: $(dpkg-deb -f "$deb" Depends)"
  dpkg-deb -f "$deb" Depends | grep -q 'fonts-comic-neue, fonts-liberation' \
    || fail "Depends lacks the font stand-ins: $(dpkg-deb -f "$deb" Depends)"
else
  fail "no package $deb; cpack made: $(ls "$tmp/package")"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all install checks passed"
