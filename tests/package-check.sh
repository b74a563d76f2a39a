#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes the Debian package of a build, checks its fields and files, installs it into a
# throw-away root with dpkg, runs the installed binary and removes the package again.
# Run as: package-check.sh <build dir> <work dir> <version>
set -euo pipefail
build=$1 work=$2 version=$3
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work" -G DEB >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack failed"; }
deb="$work/lexwick_${version}_amd64.deb"
[[ -f $deb ]] || fail "no $deb: $(ls "$work")"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == lexwick ]] || fail "Package is $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version is $(field Version)"
[[ $(field Architecture) == amd64 ]] || fail "Architecture is $(field Architecture)"
depends=$(field Depends)
# What the binaries link (found by dpkg-shlibdeps), and what Qt loads without linking it.
for needed in libqt6core6 libqt6gui6 libqt6dbus6 libqt6keychain1 libqcoro6core0 libicu72 \
    qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-layouts \
    qml6-module-qtquick-templates libqt6svg6 qt6-wayland fonts-dejavu-core; do
    [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
recommends=$(field Recommends)
for wanted in notification-daemon dbus-user-session; do
    [[ $recommends == *"$wanted"* ]] || fail "Recommends lacks $wanted: $recommends"
done

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
id=io.github.lexwick.Lexwick
for path in ./usr/bin/lexwick ./usr/lib/x86_64-linux-gnu/lexwick/lexwick-popover.so \
    ./usr/share/applications/$id.desktop ./usr/share/dbus-1/services/$id.service \
    ./usr/share/metainfo/$id.metainfo.xml ./usr/share/icons/hicolor/scalable/apps/$id.svg \
    ./usr/share/icons/hicolor/symbolic/apps/$id-symbolic.svg \
    ./usr/share/man/man1/lexwick.1.gz ./usr/share/bash-completion/completions/lexwick \
    ./usr/share/zsh/vendor-completions/_lexwick ./usr/share/fish/vendor_completions.d/lexwick.fish \
    ./usr/share/doc/lexwick/LICENSE ./usr/share/doc/lexwick/MaterialIcons-NOTICE.txt; do
    grep -qxF "$path" <<<"$files" || fail "the package lacks $path"
done
[[ -z $(dpkg-deb -I "$deb" | grep -e postinst -e postrm) ]] || fail "maintainer scripts"
! grep -q -e '^./usr/local' -e 'tests' -e 'bench' <<<"$files" || fail "stray files: $files"

# A root of its own, with an empty package database: dpkg installs into it as into a system.
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-depends --force-not-root --force-script-chrootless \
    --log=/dev/null -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i"; }
grep -q "^Exec=/usr/bin/lexwick$" "$root/usr/share/dbus-1/services/$id.service" ||
    fail "the D-Bus service does not start /usr/bin/lexwick"
out=$("$root/usr/bin/lexwick" --version) || fail "lexwick --version failed"
[[ $out == "lexwick $version" ]] || fail "lexwick --version says '$out'"

dpkg --root="$root" --force-not-root --force-script-chrootless --log=/dev/null --purge lexwick \
    >>"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg --purge"; }
left=$(find "$root" -type f ! -path "$root/var/lib/dpkg/*")
[[ -z $left ]] || fail "left after removal: $left"
echo "lexwick_${version}_amd64.deb: fields, files, install, --version and removal in order"
