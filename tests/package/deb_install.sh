#!/bin/sh
# The .deb installs into a throwaway root: its maintainer scripts register the shell extension
# in that root's machine hive, the programs and the manual page work from there, every binary
# is hardened, the copyright file and changelog are where Debian keeps them, and removing and
# purging take everything away again.
#   deb_install.sh CPACK_CONFIG WORK_DIR BUILD_TREE_VLT
set -eu
config=$1 work=$2 vlt=$3

if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: dpkg gives the files to root, so this test needs root"
    exit 77
fi

fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
root=$work/root
mkdir -p "$work/out" "$work/home" "$work/run" "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
: > "$root/var/lib/dpkg/status"
: > "$root/var/lib/dpkg/available"
# The build tree's vlt reads the throwaway root's machine hive, with a hive of its own.
export VLT_HOME="$work/home" VLT_RUNTIME_DIR="$work/run" VLT_MACHINE_DIR="$root/var/lib/vaultine"

cpack --config "$config" -G DEB -B "$work/out" > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/*.deb)
depends=$(dpkg-deb --field "$deb" Depends)
for lib in libc6 libssl3 libsqlite3-0; do
    case "$depends" in *"$lib"*) ;; *) fail "Depends lacks $lib: $depends" ;; esac
done
[ "$(dpkg-deb --field "$deb" Recommends)" = libnotify-bin ] || fail "Recommends: $(dpkg-deb --field "$deb" Recommends)"
if dpkg-deb --contents "$deb" | awk '{print $6}' | grep -v -e '^\./usr/' -e '^\./etc/xdg/autostart/' -e '^\./var/lib/vaultine/$' \
    -e '^\./$' -e '^\./etc/$' -e '^\./etc/xdg/$' -e '^\./var/$' -e '^\./var/lib/$'; then
    fail "files outside /usr, the autostart folder and the machine hive"
fi

dpkg_root() { dpkg --root="$root" --force-depends --force-script-chrootless --log=/dev/null "$@" > "$work/dpkg.log" 2>&1 ||
    { cat "$work/dpkg.log"; fail "dpkg $*"; }; }
dpkg_root --install "$deb"

"$root/usr/bin/vlt" --help | grep -q "^usage: vlt COMMAND" || fail "the installed vlt --help"
[ "$(stat -c '%U:%G %a' "$root/var/lib/vaultine")" = "root:root 755" ] || fail "machine hive folder: $(stat -c '%U:%G %a' "$root/var/lib/vaultine")"
handler=$("$vlt" reg query 'HKEY_CLASSES_ROOT\*\shellex\ContextMenuHandlers\Vaultine') || fail "postinst registered nothing"
clsid=$(echo "$handler" | grep -o '{[0-9A-Fa-f-]*}' | head -n 1)
"$vlt" reg query "HKEY_CLASSES_ROOT\\CLSID\\$clsid\\InprocServer32" | grep -q "$root/usr/lib/.*/vaultine/libVTMenu32.so" ||
    fail "InprocServer32 does not name the installed libVTMenu32.so"
touch "$work/plain.txt"
"$root/usr/bin/vlt-shell" --list "$work/plain.txt" | grep -q "Lock File" || fail "the installed vlt-shell shows no menu"

doc=$root/usr/share/doc/vlt
head -n 1 "$doc/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "no machine-readable copyright file"
grep -qx 'Copyright: 2026 VLT developers' "$doc/copyright" || fail "the copyright file names no holder"
zcat "$doc/changelog.Debian.gz" | head -n 1 | grep -q "^vlt ($(dpkg-deb --field "$deb" Version)) " ||
    fail "changelog.Debian.gz does not start with this version"

MANPAGER=cat man -M "$root/usr/share/man" vlt 2>/dev/null | grep -q "vlt profile" || fail "man vlt"

# Hardened: position-independent, full RELRO, stack canaries; the plug-ins export their entry
# points only.
for f in $(find "$root/usr" -type f -perm -u+x) $(find "$root/usr/lib" -name '*.so' -o -name '*.Cpl'); do
    readelf -h "$f" > /dev/null 2>&1 || continue
    readelf -h "$f" | grep -q 'Type:.*DYN' || fail "$f is not position-independent"
    readelf -lW "$f" | grep -q GNU_RELRO || fail "$f has no RELRO"
    readelf -dW "$f" | grep -q 'FLAGS.*NOW' || fail "$f is not bound now"
done
for f in "$root"/usr/bin/vlt "$root"/usr/lib/*/vaultine/libVTMenu32.so; do
    nm -D "$f" | grep -q ' U __stack_chk_fail' || fail "$f has no stack protector"
done
[ "$(nm -D --defined-only "$root"/usr/lib/*/vaultine/libVTMenu32.so | awk '{print $3}' | sort | tr '\n' ' ')" = \
  "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer " ] || fail "libVTMenu32.so exports more than its entry points"

dpkg_root --remove vlt
[ ! -e "$root/usr/bin/vlt" ] || fail "vlt stays after removal"
if "$vlt" reg query 'HKEY_CLASSES_ROOT\*\shellex\ContextMenuHandlers\Vaultine' > /dev/null 2>&1; then
    fail "prerm left the shell extension registered"
fi
dpkg_root --purge vlt
[ ! -e "$root/var/lib/vaultine" ] || fail "the machine hive stays after purge"
echo "package ok: $(basename "$deb")"
