# Clean Debian roots for building and checking the package, sourced by
# scripts/package and scripts/check-package. Each release's minimal root is
# made once with debootstrap, from the package source this machine's apt
# uses, and kept in $VELMOR_ROOT_CACHE; work happens in a copy of it, inside
# a chroot, so the host's own packages are never touched.

VELMOR_ROOT_CACHE=${VELMOR_ROOT_CACHE:-/var/cache/velmor-tarsila/roots}

# The code name of Debian release $1 (12 or 13).
debian_codename() {
    case "$1" in
        12) echo bookworm ;;
        13) echo trixie ;;
        *) echo "Debian $1 is not one we build for (12 or 13)" >&2; return 2 ;;
    esac
}

# The archive this machine's apt installs from.
debian_mirror() {
    local mirror
    mirror=$(sed -n 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null |
             grep -v -- '-security' | head -n 1)
    if [ -z "$mirror" ]; then
        mirror=$(awk '$1 == "deb" && $2 !~ /security/ { print ($2 ~ /^\[/ ? $3 : $2); exit }' \
                 /etc/apt/sources.list 2>/dev/null)
    fi
    echo "${mirror:-http://deb.debian.org/debian}"
}

# Makes (once) the minimal root of release $1 in the cache and prints its path.
debian_base_root() {
    local codename base
    codename=$(debian_codename "$1") || return 2
    base="$VELMOR_ROOT_CACHE/$codename"
    if [ ! -e "$base/.complete" ]; then
        command -v debootstrap >/dev/null || apt-get install -y -qq --no-install-recommends debootstrap >&2
        rm -rf "$base"
        mkdir -p "$VELMOR_ROOT_CACHE"
        echo "Making a minimal Debian $1 ($codename) root from $(debian_mirror) in $base" >&2
        if ! debootstrap --variant=minbase --include=ca-certificates "$codename" "$base" "$(debian_mirror)" \
                >"$base.log" 2>&1; then
            tail -n 20 "$base.log" >&2
            return 1
        fi
        printf 'deb %s %s main\n' "$(debian_mirror)" "$codename" >"$base/etc/apt/sources.list"
        touch "$base/.complete"
    fi
    echo "$base"
}

# Copies root $1 to the new folder $2, ready for chroot: /proc, /dev and the
# name service as the host has them.
debian_copy_root() {
    rm -rf "$2"
    cp -a "$1" "$2"
    rm -f "$2/.complete"
    cp /etc/resolv.conf "$2/etc/resolv.conf" 2>/dev/null || true
    mount -t proc proc "$2/proc"
    # /dev with what is mounted below it (/dev/pts, /dev/shm); nothing done
    # in the root travels back to the host's.
    mount --rbind /dev "$2/dev"
    mount --make-rslave "$2/dev"
}

# Undoes the mounts below root $1.
debian_unmount() {
    [ -d "$1" ] || return 0
    local mounted m
    mounted=$(awk -v r="$(cd "$1" && pwd)" '$2 == r || index($2, r "/") == 1 { print $2 }' /proc/mounts | sort -r)
    for m in $mounted; do umount -l "$m" 2>/dev/null || true; done
}

# Undoes the mounts below root $1 and removes it.
debian_drop_root() {
    [ -d "$1" ] || return 0
    debian_unmount "$1"
    rm -rf --one-file-system "$1"
}

# Runs apt-get in root $1 with the rest of the arguments, without questions.
debian_apt() {
    local root=$1
    shift
    chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get -y -q -o Dpkg::Use-Pty=0 "$@"
}
