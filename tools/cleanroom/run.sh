#!/bin/bash
# tools/cleanroom/run.sh [--keep] SUITE     e.g. bookworm, trixie; as root
# Runs the README's two commands, ./run.sh then ./test.sh, on a fresh minimal Debian SUITE made
# by debootstrap, against the last commit of this repository (not what is uncommitted), with no
# display and a clean environment: does a bare machine have everything it needs? Takes some
# minutes and needs Debian's archive. Not part of the tests; a maintainer runs it by hand.
# The logs stay in a folder it names; the Debian tree goes at the end unless --keep.
set -euo pipefail

usage() { echo "usage: $0 [--keep] SUITE" >&2 && exit 2; }
keep=no suite=""
for arg in "$@"; do
    case $arg in
    --keep) keep=yes ;;
    -*) usage ;;
    *)
        [ -z "$suite" ] || usage
        suite=$arg
        ;;
    esac
done
[[ $suite =~ ^[a-z][a-z0-9-]*$ ]] || usage
[ "$(id -u)" -eq 0 ] || { echo "$0: debootstrap, mount and chroot need root" >&2 && exit 2; }

repo=$(cd "$(dirname "$0")/../.." && pwd -P)
git=(git -c "safe.directory=$repo" -C "$repo")
commit=$("${git[@]}" rev-parse --verify HEAD)

dir="" job="" mounted=()

# Every process whose root is the tree: wineserver and Xvfb may outlive the commands.
chroot_pids() {
    local p root
    for p in /proc/[0-9]*; do
        root=$(readlink "$p/root" 2>/dev/null) || continue
        case $root in "$dir" | "$dir"/*) echo "${p#/proc/}" ;; esac
    done
}

names() {
    local p
    for p in "$@"; do cat "/proc/$p/comm" 2>/dev/null; done | sort -u | tr '\n' ' '
}

end_chroot_processes() {
    local pids signal tries
    for signal in TERM KILL; do
        mapfile -t pids < <(chroot_pids)
        [ ${#pids[@]} -gt 0 ] || return 0
        echo "Ending with SIG$signal what still runs in the tree: $(names "${pids[@]}")"
        kill -s "$signal" "${pids[@]}" 2>/dev/null
        for ((tries = 0; tries < 50; tries++)); do
            [ -n "$(chroot_pids)" ] || return 0
            sleep 0.1
        done
    done
    echo "Still running in $dir: $(chroot_pids | tr '\n' ' ')"
    return 1
}

mounts_below() {
    local target
    findmnt -rn -o TARGET | while IFS= read -r target; do
        [[ $target != "$dir" && $target != "$dir"/* ]] || echo "$target"
    done
}

unmount() {
    umount "$1" 2>/dev/null && return 0
    sleep 1
    umount "$1" && return 0
    # Detached, it can no longer be reached through the tree; busy ones stay usable to
    # whoever holds them.
    umount -l "$1" && echo "Unmounted $1 lazily, as it stayed busy"
}

cleanup() {
    local status=$? i stuck left
    trap '' INT TERM HUP
    set +e
    if [ -n "$job" ]; then
        kill -s TERM -- "-$job" 2>/dev/null
        wait "$job" 2>/dev/null
    fi
    if [ -n "$dir" ]; then
        end_chroot_processes || status=1
        for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
            unmount "${mounted[i]}"
        done
        # An interrupted debootstrap leaves its own.
        mapfile -t stuck < <(mounts_below)
        for ((i = ${#stuck[@]} - 1; i >= 0; i--)); do
            unmount "${stuck[i]}"
        done
        left=$(mounts_below)
        if [ -n "$left" ]; then
            echo "Not removing $dir: still mounted there: $(echo "$left" | tr '\n' ' ')"
            status=1
        elif [ $keep = yes ] || [ -n "$(chroot_pids)" ]; then
            echo "Kept $dir"
        else
            rm -rf --one-file-system "$dir" && echo "Removed $dir"
        fi
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# Runs "$@" as a job of its own, so that a signal to this script ends it and its children as
# well, and waits for it; the exit status goes to $status, the time in seconds to $took.
run_job() {
    local log=$1 start=$SECONDS
    shift
    set -m
    "$@" </dev/null >"$log" 2>&1 &
    job=$!
    set +m
    status=0
    wait "$job" || status=$?
    job=""
    took=$((SECONDS - start))
    local pids
    mapfile -t pids < <(chroot_pids)
    [ ${#pids[@]} -eq 0 ] || echo "  still running in the tree after it: $(names "${pids[@]}")"
}

show_tail() { echo "  last lines of $1:" && tail -n 15 "$1" | sed 's/^/  | /'; }

if ! command -v debootstrap >/dev/null 2>&1 && ! [ -x /usr/sbin/debootstrap ]; then
    echo "Installing debootstrap"
    # A mirror in the middle of a sync fails one index; the others are still worth having.
    apt-get update -q || echo "apt-get update failed for some package list; going on"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap
fi
PATH=$PATH:/usr/sbin:/sbin

logs=$(mktemp -d --tmpdir "pellomir-cleanroom-$suite-logs.XXXXXX")
dir=$(mktemp -d --tmpdir "pellomir-cleanroom-$suite.XXXXXX")
dir=$(cd "$dir" && pwd -P)
# As on a real machine, so that apt's own user can reach its cache.
chmod 755 "$dir"
echo "Commit $("${git[@]}" log -1 --format='%H %s' "$commit")"
if [ -n "$("${git[@]}" --no-optional-locks status --porcelain --untracked-files=no)" ]; then
    echo "  (the uncommitted changes in $repo are not part of this check)"
fi
echo "Debian $suite in $dir, logs in $logs"

echo "debootstrap: see $logs/debootstrap.log"
run_job "$logs/debootstrap.log" debootstrap --variant=minbase --include=ca-certificates,git \
    "$suite" "$dir" http://deb.debian.org/debian
[ $status -eq 0 ] || { show_tail "$logs/debootstrap.log" && exit 1; }
echo "debootstrap: done in $took s"

"${git[@]}" clone -q --no-hardlinks --no-checkout "$repo" "$dir/root/pellomir"
git -C "$dir/root/pellomir" checkout -q --detach "$commit"
cp -L --remove-destination /etc/resolv.conf "$dir/etc/resolv.conf"

mount_in() {
    local target=$dir/$1
    shift
    # Never through a link, which could lead out of the tree.
    if [ ! -d "$target" ] || [ -L "$target" ]; then
        echo "no folder $target" >&2
        return 1
    fi
    mount "$@" "$target"
    mounted+=("$target")
}
mount_in proc -t proc -o nosuid,nodev,noexec proc
mount_in sys -t sysfs -o nosuid,nodev,noexec sysfs
mount_in dev --bind /dev
# Mounts below must not spread to the host's /dev, which a shared /dev would do.
mount --make-private "$dir/dev"
# apt runs dpkg on a pseudo-terminal, and the fuzz target keeps its file in /dev/shm. The bind
# holds neither, and a file written there would land in the host's /dev.
mount_in dev/pts -t devpts -o newinstance,ptmxmode=0666,mode=0620,gid=5 devpts
mount_in dev/shm -t tmpfs -o mode=1777,nosuid,nodev tmpfs

# Only as a job of run_job: exec leaves no shell between the job and the command.
in_chroot() {
    exec env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb \
        chroot "$dir" /bin/sh -c "cd /root/pellomir && exec $1"
}

echo "./run.sh: see $logs/run.log"
run_job "$logs/run.log" in_chroot ./run.sh
run_status=$status
echo "./run.sh: exit status $run_status, $took s"
[ $run_status -eq 0 ] || show_tail "$logs/run.log"

echo "./test.sh: see $logs/test.log"
run_job "$logs/test.log" in_chroot ./test.sh
test_status=$status
closing=$(grep -a '^total:' "$logs/test.log" | tail -n 1) || true
echo "./test.sh: exit status $test_status, $took s"
echo "./test.sh: ${closing:-no closing line}"
[ $test_status -eq 0 ] || show_tail "$logs/test.log"

if [ $run_status -eq 0 ] && [ $test_status -eq 0 ] &&
    [[ $closing =~ ^total:\ [0-9]+\ passed,\ 0\ failed(,\ [0-9]+\ skipped)?$ ]]; then
    echo "Clean room on $suite at ${commit:0:12}: passed"
else
    echo "Clean room on $suite at ${commit:0:12}: FAILED"
    exit 1
fi
