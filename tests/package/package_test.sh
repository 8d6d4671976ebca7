#!/usr/bin/env bash
# The Debian package as an IT person gets it: built with CPack from this build
# tree, its control fields and contents read with dpkg-deb, its menu entry
# validated, and its launcher run from an unpacked tree with a home of its own
# and as a user who cannot write the package's files.
# Usage: package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work" # the user below must reach the unpacked tree
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && timeout 120 cpack -G DEB -B "$work/out" >/dev/null) || fail "cpack did not build the package"
deb=$(ls "$work"/out/velmor-tarsila_"$version"_*.deb 2>/dev/null) || fail "no velmor-tarsila_${version}_<arch>.deb"

[ "$(dpkg-deb -f "$deb" Package)" = velmor-tarsila ] || fail "Package field"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version field is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt5webkit5 libqt5sql5-sqlite libqt5script5 libcups2 libssl3; do
    [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/velmor-tarsila ./usr/lib/velmor-tarsila/velmor-tarsila \
            ./usr/lib/velmor-tarsila/velmor-update-answer ./usr/share/applications/velmor-tarsila.desktop \
            ./usr/share/icons/hicolor/48x48/apps/velmor-tarsila.png ./usr/share/icons/hicolor/128x128/apps/velmor-tarsila.png \
            ./usr/share/icons/hicolor/256x256/apps/velmor-tarsila.png ./usr/share/man/man1/velmor-tarsila.1.gz \
            ./usr/share/doc/velmor-tarsila/copyright; do
    grep -qx "$path" <<<"$contents" || fail "the package lacks $path"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/velmor-tarsila.desktop" || fail "menu entry"
[[ "$(zcat "$root/usr/share/man/man1/velmor-tarsila.1.gz")" == *journal* ]] || fail "man page"

# An IT person's defaults, and a user who may not write the package's files.
mkdir -p "$root/etc/velmor-tarsila"
printf '[General]\nmainUrl=https://shop.example/start\nuseSerialPort=true\nprinterPort=COM2\n' \
    >"$root/etc/velmor-tarsila/settings.ini"
chmod -R a-w "$root/usr"
sums=$(cd "$root/usr" && find . -type f -exec sha256sum {} + | sort)
home="$work/home"
mkdir -p "$home" "$work/elsewhere"
chown -R nobody "$home"
as_user() { (cd "$work/elsewhere" && env -i PATH=/usr/bin:/bin HOME="$home" setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"); }
data="$home/.local/share/velmor-tarsila"

out=$(as_user "$root/usr/bin/velmor-tarsila" --version) || fail "--version as a user"
[ "$out" = "Velmor Tarsila $version" ] || fail "--version said: $out"
[ -x "$data/program/velmor-tarsila" ] || fail "no per-user copy of the program"
[ "$(cat "$data/program/.seeded-from")" = "$version" ] || fail "per-user copy not marked"
grep -q 'printerPort=COM2' "$data/settings.ini" || fail "/etc defaults not copied"
as_user "$root/usr/bin/velmor-tarsila" --journal >/dev/null || fail "--journal as a user"

# The same version again: the user's copy (and what an update put there) stays.
touch "$data/program/updated-by-the-service"
as_user "$root/usr/bin/velmor-tarsila" --version >/dev/null
[ -e "$data/program/updated-by-the-service" ] || fail "the per-user copy was made again for the same version"
# A user's settings are never replaced by the defaults.
grep -q 'printerPort=COM2' "$data/settings.ini" || fail "settings lost"
# A self-update to a version above the package's: kept.
printf 'version=99\n' >>"$data/settings.ini"
chmod u+w "$root/usr/lib/velmor-tarsila"; echo 50.0 >"$root/usr/lib/velmor-tarsila/version"; chmod u-w "$root/usr/lib/velmor-tarsila"
as_user "$root/usr/bin/velmor-tarsila" --version >/dev/null
[ -e "$data/program/updated-by-the-service" ] || fail "a newer self-update was replaced by an older package"
# A package newer than anything the user has: copied again.
chmod u+w "$root/usr/lib/velmor-tarsila"; echo 100.0 >"$root/usr/lib/velmor-tarsila/version"; chmod u-w "$root/usr/lib/velmor-tarsila"
sums=$(cd "$root/usr" && find . -type f -exec sha256sum {} + | sort)
as_user "$root/usr/bin/velmor-tarsila" --version >/dev/null
[ ! -e "$data/program/updated-by-the-service" ] || fail "a newer package was not copied"
[ "$(cat "$data/program/.seeded-from")" = 100.0 ] || fail "the new copy is not marked"
[ "$sums" = "$(cd "$root/usr" && find . -type f -exec sha256sum {} + | sort)" ] || fail "the package's files changed"
[ ! -e "$work/elsewhere/settings.ini" ] || fail "settings.ini landed in the folder it was started from"
echo "package test passed: $(basename "$deb")"
