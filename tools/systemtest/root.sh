# The Debian 12 root the system test boots: made once with debootstrap and kept as a base that
# is never booted, so that every run starts from a copy on which the package was never installed.
# Sourced by system-test.sh, not run.

ROOT_PACKAGES=systemd,systemd-sysv,dbus,polkitd,libpam-systemd,iproute2

# The first address this machine's apt sources give for a suite (bookworm, bookworm-security),
# in one-line or deb822 form. The test never names a mirror of its own.
apt_source_for_suite() {
    local suite=$1
    {
        awk -v suite="$suite" '
            function flush() { if (uris != "" && hit) { print uris; found = 1 } uris = ""; hit = 0 }
            FNR == 1 { flush() }
            /^[ \t]*$/ { flush(); next }
            tolower($1) == "uris:" { uris = $2 }
            tolower($1) == "suites:" { for (i = 2; i <= NF; i++) if ($i == suite) hit = 1 }
            END { flush() }' /etc/apt/sources.list.d/*.sources 2>/dev/null
        # One-line entries: deb [options] uri suite components...
        cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
            sed -e 's/#.*//' -e 's/\[[^]]*\]//' |
            awk -v suite="$suite" '$1 == "deb" && $3 == suite { print $2 }'
    } | head -n 1
}

write_root_sources() {
    local root=$1 main security
    main=$(apt_source_for_suite bookworm)
    security=$(apt_source_for_suite bookworm-security)
    {
        echo "deb $main bookworm main"
        echo "deb $main bookworm-updates main"
        if [ -n "$security" ]; then echo "deb $security bookworm-security main"; fi
    } >"$root/etc/apt/sources.list"
}

# debootstrap into a folder beside the base, renamed only when complete: an interrupted run
# leaves no half-made base behind to be reused.
make_base_root() {
    local base=$1 partial=$1.partial mirror
    if [ -f "$base/etc/tarnix-system-test" ]; then return 0; fi
    mirror=$(apt_source_for_suite bookworm)
    if [ -z "$mirror" ]; then
        echo "No bookworm source in this machine's apt sources" >&2
        return 1
    fi
    echo "Making the Debian 12 root in $base (once) from $mirror"
    rm -rf "$partial"
    timeout 1800 debootstrap --variant=minbase --include="$ROOT_PACKAGES" bookworm "$partial" "$mirror" \
        >"$partial.log" 2>&1 || {
        tail -n 20 "$partial.log" >&2
        return 1
    }
    write_root_sources "$partial"
    echo tarnix-systest >"$partial/etc/hostname"
    # Each boot gets a machine id of its own, and the journal is kept for a look after the run.
    : >"$partial/etc/machine-id"
    mkdir -p "$partial/var/log/journal"
    touch "$partial/etc/tarnix-system-test"
    mv "$partial" "$base"
    rm -f "$partial.log"
}

CHROOT_MOUNTS=()

mount_for_chroot() {
    local root=$1 dir
    for dir in proc sys dev dev/pts; do
        mkdir -p "$root/$dir"
    done
    mount -t proc proc "$root/proc" && CHROOT_MOUNTS+=("$root/proc")
    mount -t sysfs sys "$root/sys" && CHROOT_MOUNTS+=("$root/sys")
    mount --bind /dev "$root/dev" && CHROOT_MOUNTS+=("$root/dev")
    mount --bind /dev/pts "$root/dev/pts" && CHROOT_MOUNTS+=("$root/dev/pts")
}

unmount_chroot() {
    local i
    for ((i = ${#CHROOT_MOUNTS[@]} - 1; i >= 0; i--)); do
        umount -l "${CHROOT_MOUNTS[$i]}" 2>/dev/null || true
    done
    CHROOT_MOUNTS=()
}

# in_chroot SECONDS ROOT COMMAND...
in_chroot() {
    local seconds=$1 root=$2
    shift 2
    timeout --kill-after=10 "$seconds" chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"
}

# The container has no network: the package's dependencies wait in the base's apt cache,
# downloaded, not installed, so that every run's installation is a first one.
download_package_dependencies() {
    local base=$1 deb=$2 name
    name=$(basename "$deb")
    rm -f "$base"/root/*.deb
    cp "$deb" "$base/root/$name"
    cp /etc/resolv.conf "$base/etc/resolv.conf"
    mount_for_chroot "$base"
    local status=0
    if ! in_chroot 600 "$base" apt-get install -y -q --no-install-recommends --download-only "/root/$name" >"$base.apt.log" 2>&1; then
        in_chroot 600 "$base" apt-get update -q >>"$base.apt.log" 2>&1 &&
            in_chroot 600 "$base" apt-get install -y -q --no-install-recommends --download-only "/root/$name" \
                >>"$base.apt.log" 2>&1 || status=$?
    fi
    unmount_chroot
    if [ "$status" -ne 0 ]; then tail -n 20 "$base.apt.log" >&2; fi
    return "$status"
}

# A plain copy, not an overlay: the container then runs on an ordinary file system.
copy_root() {
    local base=$1 copy=$2
    rm -rf "$copy"
    cp -a "$base" "$copy"
}
