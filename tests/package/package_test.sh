#!/usr/bin/env bash
# The Debian package as an IT person gets it: built with CPack from this build
# tree, its control fields and contents read with dpkg-deb, its menu entry
# validated, and its launcher run from an unpacked tree with a home of its own
# and as a user who cannot write the package's files.
# Usage: package_test.sh BUILD_DIR VERSION "DEPENDENCY..."
set -euo pipefail
build=$1
version=$2
needed_packages=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work" # the user below must reach the unpacked tree
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && timeout 120 cpack -G DEB -B "$work/out" >/dev/null) || fail "cpack did not build the package"
deb=$(ls "$work"/out/velmor-tarsila_"$version"_*.deb 2>/dev/null) || fail "no velmor-tarsila_${version}_<arch>.deb"

[ "$(dpkg-deb -f "$deb" Package)" = velmor-tarsila ] || fail "Package field"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version field is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in $needed_packages libcups2 libssl3 xdg-utils; do
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

# What it is, and where its files are, even where the home may not be written.
out=$(cd "$work/elsewhere" && env -i PATH=/usr/bin:/bin HOME=/root setpriv --reuid=nobody --regid=nogroup \
    --clear-groups "$root/usr/bin/velmor-tarsila" --version 2>&1) || fail "--version without a home: $out"
[ "$out" = "Velmor Tarsila $version" ] || fail "--version said: $out"
out=$(as_user "$root/usr/bin/velmor-tarsila" --help) || fail "--help as a user"
[[ "$out" == *"~/.local/share/velmor-tarsila"* ]] || fail "--help does not say where the files are: $out"
[ ! -e "$data" ] || fail "--version or --help made the data folder"

as_user "$root/usr/bin/velmor-tarsila" --journal >/dev/null || fail "--journal as a user"
[ -x "$data/program/velmor-tarsila" ] || fail "no per-user copy of the program"
[ "$(cat "$data/program/.seeded-from")" = "$version" ] || fail "per-user copy not marked"
grep -q 'printerPort=COM2' "$data/settings.ini" || fail "/etc defaults not copied"
# The shop's invoices are the user's alone.
[ "$(stat -c %a "$data")" = 700 ] || fail "the data folder is $(stat -c %a "$data"), not 700"
[ "$(stat -c %a "$data/settings.ini")" = 600 ] || fail "settings.ini is $(stat -c %a "$data/settings.ini"), not 600"
status=0; as_user "$root/usr/bin/velmor-tarsila" --no-such-option >/dev/null 2>&1 || status=$?
[ "$status" = 2 ] || fail "an unknown option ended with $status, not 2"

# Two first starts at once (a double click), several times over: each finds a
# whole copy, and nothing half-made is left.
for _ in 1 2 3 4; do
    rm -rf "$data/program"
    pids=()
    for _ in 1 2 3; do as_user "$root/usr/bin/velmor-tarsila" --journal >/dev/null & pids+=($!); done
    for pid in "${pids[@]}"; do wait "$pid" || fail "a start beside another failed"; done
    [ -x "$data/program/velmor-tarsila" ] || fail "starts side by side left no program"
    [ ! -e "$data/program.new" ] && [ ! -e "$data/program.old" ] || fail "starts side by side left a half-made copy"
done

# The same version again: the user's copy (and what an update put there) stays.
touch "$data/program/updated-by-the-service"
as_user "$root/usr/bin/velmor-tarsila" --journal >/dev/null
[ -e "$data/program/updated-by-the-service" ] || fail "the per-user copy was made again for the same version"
# A user's settings are never replaced by the defaults.
grep -q 'printerPort=COM2' "$data/settings.ini" || fail "settings lost"
# A self-update to a version above the package's: kept.
printf 'version=99\n' >>"$data/settings.ini"
chmod u+w "$root/usr/lib/velmor-tarsila"; echo 50.0 >"$root/usr/lib/velmor-tarsila/version"; chmod u-w "$root/usr/lib/velmor-tarsila"
as_user "$root/usr/bin/velmor-tarsila" --journal >/dev/null
[ -e "$data/program/updated-by-the-service" ] || fail "a newer self-update was replaced by an older package"
# Versions are numbers, as the program reads them: a package of 99.10 (99.1)
# is older than a self-update to 99.5.
sed -i 's/^version=99$/version=99.5/' "$data/settings.ini"
chmod u+w "$root/usr/lib/velmor-tarsila"; echo 99.10 >"$root/usr/lib/velmor-tarsila/version"; chmod u-w "$root/usr/lib/velmor-tarsila"
as_user "$root/usr/bin/velmor-tarsila" --journal >/dev/null
[ -e "$data/program/updated-by-the-service" ] || fail "package 99.10 was taken for newer than a self-update to 99.5"
# A package newer than anything the user has: copied again.
chmod u+w "$root/usr/lib/velmor-tarsila"; echo 100.0 >"$root/usr/lib/velmor-tarsila/version"; chmod u-w "$root/usr/lib/velmor-tarsila"
sums=$(cd "$root/usr" && find . -type f -exec sha256sum {} + | sort)
as_user "$root/usr/bin/velmor-tarsila" --journal >/dev/null
[ ! -e "$data/program/updated-by-the-service" ] || fail "a newer package was not copied"
[ "$(cat "$data/program/.seeded-from")" = 100.0 ] || fail "the new copy is not marked"
[ "$sums" = "$(cd "$root/usr" && find . -type f -exec sha256sum {} + | sort)" ] || fail "the package's files changed"
[ ! -e "$work/elsewhere/settings.ini" ] || fail "settings.ini landed in the folder it was started from"

# The self-update, end to end, as that user: an update service on 127.0.0.1
# (openssl s_server answering from files that hold whole HTTP responses) with
# this build's certificate and its signing key; the new file must land in the
# user's copy and nowhere in the package.
certs="$build/demo-cert"
www="$work/www"
mkdir -p "$www"
port=$(( 20000 + RANDOM % 30000 ))
payload="fetched by the update"
printf 'HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n\r\n%s' ${#payload} "$payload" \
    >"$www/payload.txt"
digest=$(printf '%s' "$payload" | sha256sum | cut -d' ' -f1)
answer="{\"version\": 200, \"files\": [{\"FilePath\": \"\", \"DownloadURL\": \"https://localhost:$port/payload.txt\", \"SHA256\": \"$digest\"}]}"
printf '%s' "$answer" >"$work/answer.json"
signature=$(openssl pkeyutl -sign -rawin -inkey "$certs/update-key.pem" -in "$work/answer.json" | base64 -w0)
printf 'HTTP/1.0 200 OK\r\nContent-Type: application/json\r\nX-Update-Signature: %s\r\nContent-Length: %d\r\n\r\n%s' \
    "$signature" ${#answer} "$answer" >"$www/check?os=1"
(cd "$www" && exec openssl s_server -accept "$port" -cert "$certs/cert.pem" -key "$certs/key.pem" -HTTP -quiet) \
    >/dev/null 2>&1 &
service=$!
# The shell runs under setpriv in a subshell: it is ended by its own process
# id, found by its path (this run's own temporary folder).
stop_shell() {
    local pid
    for pid in $(pgrep -f -- "$data/program/velmor-tarsila" || true); do kill "$pid" 2>/dev/null || true; done
}
trap 'kill "$service" 2>/dev/null || true; stop_shell; rm -rf "$work"' EXIT
sed -i '/^checkForNewVersionUrl=/d; /^version=/d' "$data/settings.ini"
printf 'checkForNewVersionUrl=https://localhost:%s/check?os=\nversion=150\n' "$port" >>"$data/settings.ini"
as_user env QT_QPA_PLATFORM=offscreen "$root/usr/bin/velmor-tarsila" >/dev/null 2>&1 &
shell=$!
for _ in $(seq 1 200); do
    grep -q '^version=200' "$data/settings.ini" 2>/dev/null && break
    sleep 0.1
done
stop_shell
for _ in $(seq 1 50); do pgrep -f -- "$data/program/velmor-tarsila" >/dev/null || break; sleep 0.1; done
! pgrep -f -- "$data/program/velmor-tarsila" >/dev/null || fail "the shell did not end"
[ "$(cat "$data/program/payload.txt" 2>/dev/null)" = "$payload" ] ||
    fail "the update did not reach the user's copy within 20 s; the log said: $(tail -n 5 "$data/velmor-tarsila.log" 2>/dev/null)"
grep -q '^version=200' "$data/settings.ini" || fail "the new version was not written"
[ "$sums" = "$(cd "$root/usr" && find . -type f -exec sha256sum {} + | sort)" ] || fail "the update touched the package's files"
echo "package test passed: $(basename "$deb")"
