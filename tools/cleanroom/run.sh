#!/bin/bash
# tools/cleanroom/run.sh SUITE [--pack COMMIT DIR]     SUITE e.g. bookworm, trixie; as root
# Runs the README's two commands, ./run.sh then ./test.sh, on a fresh minimal Debian SUITE made
# by debootstrap, against the last commit of this repository (not what is uncommitted), with no
# display and a clean environment: does a bare machine have everything it needs? Takes some
# minutes and needs Debian's archive. Not part of the tests; a maintainer runs it by hand.
# With --pack, it packs COMMIT there instead (cpack --preset win32) and copies the ZIP and its
# .sha256 into DIR, a new folder: the release as that Debian release's tools make it.
# The logs stay in a folder it names; the Debian tree lives on a tmpfs that goes with it.
set -euo pipefail

usage() { echo "usage: $0 SUITE [--pack COMMIT DIR]" >&2 && exit 2; }
[[ ${1:-} =~ ^[a-z][a-z0-9-]*$ ]] || usage
suite=$1 pack="" ref=HEAD
if [ $# -eq 4 ] && [ "$2" = --pack ]; then
    ref=$3 pack=$(realpath -m -- "$4")
    [ ! -e "$pack" ] || { echo "$0: $4 is there already" >&2 && exit 2; }
else
    [ $# -eq 1 ] || usage
fi
[ "$(id -u)" -eq 0 ] || { echo "$0: unshare, mount and chroot need root" >&2 && exit 2; }
PATH=$PATH:/usr/sbin:/sbin

if [ $$ -ne 1 ]; then
    if ! command -v debootstrap >/dev/null; then
        echo "Installing debootstrap"
        # A mirror in the middle of a sync fails one index; the others are still worth having.
        apt-get update -q || echo "apt-get update failed for some package list; going on"
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap
    fi
    # The rest runs again as the first process of new mount and PID namespaces: when it ends,
    # however, the kernel ends every process and drops every mount of the check. unshare
    # blocks INT and TERM while it waits, so this shell stays to die of them instead, and
    # its death, even by SIGKILL, kills unshare, which kills the namespace's first process.
    setpriv --pdeathsig KILL \
        unshare --mount --propagation private --pid --fork --kill-child "$0" "$@"
    exit
fi

# The first process of a PID namespace has no default action for any signal.
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# Debian's archive as this machine reaches it: the one apt takes the release $1 from.
archive() {
    local uri
    uri=$(apt-get indextargets --format "\$(RELEASE) \$(REPO_URI)" |
        awk -v release="$1" '$1 == release && !found++ { print $2 }')
    [ -n "$uri" ] || { echo "$0: apt's sources name no archive for '$1'" >&2 && return 1; }
    echo "$uri"
}
# shellcheck source=/dev/null
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
main=$(archive "$codename")
security=$(archive "$codename-security")

repo=$(cd "$(dirname "$0")/../.." && pwd -P)
git=(git -c "safe.directory=$repo" -C "$repo")
commit=$("${git[@]}" rev-parse --verify "$ref^{commit}")
echo "Commit $("${git[@]}" log -1 --format='%H %s' "$commit")"
changes=$("${git[@]}" --no-optional-locks status --porcelain --untracked-files=no)
if [ -z "$pack" ] && [ -n "$changes" ]; then
    echo "  (the uncommitted changes in $repo are not part of this check)"
fi

logs=$(mktemp -d --tmpdir "pellomir-cleanroom-$suite-logs.XXXXXX")
# Over /mnt, seen by this mount namespace alone, the tree hides nothing of the host's.
dir=/mnt
mount -t tmpfs -o mode=755 tmpfs "$dir"
echo "Debian $suite on a tmpfs of its own, logs in $logs"

# In the background, so that a signal's trap runs at once rather than when the command ends.
# The exit status goes to $status, the time in seconds to $took.
run_job() {
    local log=$1 start=$SECONDS
    shift
    "$@" </dev/null >"$log" 2>&1 &
    status=0
    wait $! || status=$?
    took=$((SECONDS - start))
}

show_tail() { echo "  last lines of $1:" && tail -n 15 "$1" | sed 's/^/  | /'; }

echo "debootstrap: see $logs/debootstrap.log"
run_job "$logs/debootstrap.log" debootstrap --variant=minbase --include=ca-certificates,git \
    "$suite" "$dir" "$main"
[ $status -eq 0 ] || { show_tail "$logs/debootstrap.log" && exit 1; }
echo "debootstrap: done in $took s"

printf 'deb %s %s main\n' "$main" "$suite" "$main" "$suite-updates" "$security" \
    "$suite-security" >"$dir/etc/apt/sources.list"
echo "Its sources.list:" && sed 's/^/  | /' "$dir/etc/apt/sources.list"
"${git[@]}" clone -q --no-hardlinks --no-checkout "$repo" "$dir/root/pellomir"
git -C "$dir/root/pellomir" checkout -q --detach "$commit"
cp -L --remove-destination /etc/resolv.conf "$dir/etc/resolv.conf"

mount -t proc -o nosuid,nodev,noexec proc "$dir/proc"
mount -t sysfs -o ro,nosuid,nodev,noexec sysfs "$dir/sys"
# A /dev of its own, so that nothing written there lands in the host's. apt runs dpkg on a
# pseudo-terminal, and the fuzz target keeps its file in /dev/shm.
mount -t tmpfs -o mode=755,nosuid,noexec tmpfs "$dir/dev"
for node in null zero full random urandom tty; do
    touch "$dir/dev/$node"
    mount --bind "/dev/$node" "$dir/dev/$node"
done
mkdir "$dir/dev/pts" "$dir/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666,mode=0620,gid=5 devpts "$dir/dev/pts"
mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$dir/dev/shm"
ln -s pts/ptmx "$dir/dev/ptmx"
ln -s /proc/self/fd "$dir/dev/fd"
for fd in 0:stdin 1:stdout 2:stderr; do ln -s "/proc/self/fd/${fd%:*}" "$dir/dev/${fd#*:}"; done

# Only as a job of run_job: exec leaves no shell between the job and the command.
in_chroot() {
    local path=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
    exec env -i HOME=/root PATH=$path TERM=dumb \
        chroot "$dir" /bin/sh -c "cd /root/pellomir && exec $1"
}

if [ -n "$pack" ]; then
    echo "Packing: see $logs/pack.log"
    run_job "$logs/pack.log" in_chroot \
        "sh -c 'cmake/install-deps.sh && cmake/build.sh --quiet win32 && cpack --preset win32'"
    echo "Packing: exit status $status, $took s"
    [ $status -eq 0 ] || { show_tail "$logs/pack.log" && exit 1; }
    mkdir "$pack" && cp "$dir"/root/pellomir/build/win32/*-win32.zip* "$pack/" && ls "$pack"
    exit
fi

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
echo "The tree's tmpfs holds $(df -h --output=used "$dir" | tail -n 1 | tr -d ' ') at the end"

if [ $run_status -eq 0 ] && [ $test_status -eq 0 ] &&
    [[ $closing =~ ^total:\ [0-9]+\ passed,\ 0\ failed(,\ [0-9]+\ skipped)?$ ]]; then
    echo "Clean room on $suite at ${commit:0:12}: passed"
else
    echo "Clean room on $suite at ${commit:0:12}: FAILED"
    exit 1
fi
