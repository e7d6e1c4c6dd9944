#!/usr/bin/env bash
# Builds the Debian package from an already built tree and checks it as apt
# and a desktop would: its file list, its Depends, the menu entry and the
# AppStream metainfo through their validators, and the unpacked program.
#   check-package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d /tmp/lwjxc-package.XXXXXX)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack did not make the package"; }
deb="$work/out/lwjxc_${version}_amd64.deb"
[[ -f "$deb" ]] || fail "no $(basename "$deb") among: $(ls "$work/out")"

dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents"
for f in ./usr/bin/lwjxc ./usr/bin/lwjxc-datagen ./usr/libexec/lwjxc/lwjxc-xlsread \
    ./usr/share/applications/com.velmora.lwjxc.desktop \
    ./usr/share/metainfo/com.velmora.lwjxc.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/lwjxc.svg \
    ./usr/share/icons/hicolor/16x16/apps/lwjxc.png ./usr/share/icons/hicolor/32x32/apps/lwjxc.png \
    ./usr/share/icons/hicolor/48x48/apps/lwjxc.png ./usr/share/icons/hicolor/256x256/apps/lwjxc.png; do
    grep -qxF "$f" "$work/contents" || fail "$f is not in the package"
done
echo "contents: $(wc -l <"$work/contents") entries, all expected files present"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# From the shared libraries (Qt, libxlsxwriter, the C++ runtime) and the
# run-time pieces named by hand.
for p in libqt6widgets6 libqt6sql6 libqt6charts6 'libxlsxwriter[0-9]+' 'libstdc\+\+6' libqt6sql6-sqlite \
    libqt6sql6-psql qt6-translations-l10n; do
    grep -qE "(^|, )$p( |,|\$)" <<<"$depends" || fail "Depends lacks $p"
done
[[ $(dpkg-deb -f "$deb" Package) == lwjxc && $(dpkg-deb -f "$deb" Version) == "$version" &&
    $(dpkg-deb -f "$deb" Architecture) == amd64 ]] || fail "control fields: $(dpkg-deb -f "$deb")"

dpkg -x "$deb" "$work/root"
desktop="$work/root/usr/share/applications/com.velmora.lwjxc.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx 'Name=岚蔚箱包销售管理软件' "$desktop" || fail "desktop entry name"
grep -qx 'Categories=Office;Finance;' "$desktop" || fail "desktop entry categories"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/com.velmora.lwjxc.metainfo.xml" ||
    fail "appstreamcli validate"
file "$work/root/usr/share/icons/hicolor/48x48/apps/lwjxc.png" | grep -q '48 x 48' || fail "48x48 icon size"

# The unpacked program answers on a machine without a display and without
# touching the user's files.
export HOME="$work/home" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
out=$("$work/root/usr/bin/lwjxc" --version) || fail "lwjxc --version exited $?"
echo "lwjxc --version: $out"
grep -qF "$version" <<<"$out" || fail "--version does not name $version"
set +e
err=$("$work/root/usr/bin/lwjxc" --bogus 2>&1 >/dev/null)
status=$?
set -e
[[ $status -eq 2 ]] || fail "lwjxc --bogus exited $status, not 2"
grep -qF -- '--bogus' <<<"$err" || fail "lwjxc --bogus said: $err"
[[ -z "$(ls -A "$HOME")" ]] || fail "--bogus left files in the home folder: $(ls -A "$HOME")"
echo "package $(basename "$deb") checked"
