#!/bin/sh
# Runs libzqscan on a real V4L2 driver: boots the installed Debian kernel
# under QEMU (software emulation, no KVM needed) from a small initramfs that
# holds busybox, the kernel's virtual video driver vivid with the modules it
# needs, and the test program tests/driver/driver_check linked against the
# freshly built libzqscan.  The program's results come back on the serial
# console; the guest powers itself off.
#
# Usage: scripts/driver-check.sh [build folder]   (default: build/release)
# Work files (initramfs, console log) go to <build folder>/driver-check.
set -eu
cd "$(dirname "$0")/.."
export PATH="$PATH:/usr/sbin:/sbin" # modprobe
build=$(realpath "${1:-build/release}")
work=$build/driver-check
guest_limit=${ZQ_DRIVER_CHECK_TIMEOUT:-300} # seconds for boot, test and power-off

scripts/install-deps.sh vm

# The kernel the linux-image-amd64 package installed, named by that package.
kernel_package=$(dpkg-query -W -f='${Depends}' linux-image-amd64 |
    tr ',' '\n' | sed -n 's/^ *\(linux-image-[0-9][^ ]*\).*/\1/p' | head -n 1)
kernel=${kernel_package#linux-image-}
if [ -z "$kernel" ] || [ ! -r "/boot/vmlinuz-$kernel" ] || [ ! -d "/lib/modules/$kernel" ]; then
    echo "driver-check: no usable kernel from linux-image-amd64 ('$kernel_package')" >&2
    exit 1
fi

cmake --build "$build" --target driver_check
program=$build/tests/driver_check

root=$work/rootfs
rm -rf "$root"
mkdir -p "$root/bin" "$root/dev" "$root/proc" "$root/sys" "$root/zq/tests" "$root/zq/lib"

cp /bin/busybox "$root/bin/"
for applet in sh mount insmod poweroff; do ln -s busybox "$root/bin/$applet"; done

# vivid and the modules it depends on, in the order they must be loaded.
modprobe -S "$kernel" --show-depends vivid | awk '$1 == "insmod" { print $2 }' >"$root/modules"
while read -r module; do cp --parents "$module" "$root"; done <"$root/modules"

# The program keeps the build folder's layout (tests/ beside lib/), so its
# $ORIGIN/../lib run path finds libzqscan; system libraries keep their paths.
cp "$program" "$root/zq/tests/"
for library in $(ldd "$program" | grep -o '/[^ ]*'); do
    case "$(realpath "$library")" in
    "$build"/lib/*) cp -L "$library" "$root/zq/lib/" ;;
    *) cp -L --parents "$library" "$root" ;;
    esac
done

cat >"$root/init" <<'EOF'
#!/bin/sh
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
while read -r module; do
    insmod "$module" || echo "driver-check: loading $module failed"
done </modules
/zq/tests/driver_check
echo "driver-check: exit status $?"
poweroff -f
EOF
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initramfs.gz"

log=$work/console.log
# The console's text without carriage returns and terminal escapes.
console() { tr -d '\r' <"$log" | sed 's/\x1b\[[0-9;?]*[A-Za-z]//g'; }
echo "driver-check: booting kernel $kernel with vivid (limit ${guest_limit}s)"
start=$(date +%s)
status=0
timeout --kill-after=10 "$guest_limit" qemu-system-x86_64 \
    -accel tcg,thread=multi -smp 2 -cpu max -m 1024 -nographic -no-reboot \
    -kernel "/boot/vmlinuz-$kernel" -initrd "$work/initramfs.gz" \
    -append "console=ttyS0 loglevel=3 panic=-1" \
    </dev/null >"$log" 2>&1 || status=$?
echo "driver-check: guest ran $(($(date +%s) - start)) s"

console | grep -E '^(PASS|FAIL): |^[0-9]+ passed, [0-9]+ failed$|^driver-check: ' || true
if [ "$status" -ne 0 ]; then
    echo "driver-check: QEMU ended with status $status; the console's last lines:" >&2
    console | tail -n 30 >&2
    exit 1
fi
console | grep -q '^driver-check: exit status 0$' &&
    console | grep -Eq '^[1-9][0-9]* passed, 0 failed$' || {
    echo "driver-check: FAILED (console log: $log)" >&2
    exit 1
}
