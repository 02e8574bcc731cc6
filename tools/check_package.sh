#!/usr/bin/env bash
# Builds the Debian package (tools/package.sh, reusing build/) and checks it:
# the file list, the menu entry (desktop-file-validate), the AppStream
# metadata (appstreamcli validate --no-net), lintian with no error or warning,
# the GPL-3+ licence in the copyright file and the AppStream data, the udev
# rule, the changelog's version, a manual page section for every txctl
# command, and `txctl --version` run from the unpacked package.
set -euo pipefail
cd "$(dirname "$0")/.."

PKGS=(lintian desktop-file-utils appstream dpkg-dev)
source tools/install-missing.sh
install_missing "${PKGS[@]}"

deb=$(tools/package.sh | tail -n 1)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "check_package: $*" >&2; failures=$((failures + 1)); }

id=io.github.txconfig.txconfig
version=$(dpkg-deb -f "$deb" Version)
arch=$(dpkg-deb -f "$deb" Architecture)
[ "$(basename "$deb")" = "txconfig_${version}_${arch}.deb" ] || fail "file name $(basename "$deb")"

# Exactly these files, nothing missing and nothing else.
{
  for p in txconfig txconfig-demo txctl txsim; do
    echo "./usr/bin/$p"
    echo "./usr/share/man/man1/$p.1.gz"
  done
  for s in 16 22 24 32 48 64 128 256; do echo "./usr/share/icons/hicolor/${s}x${s}/apps/$id.png"; done
  echo "./usr/share/applications/$id.desktop"
  echo "./usr/share/metainfo/$id.metainfo.xml"
  echo "./usr/lib/udev/rules.d/70-txconfig-serial.rules"
  echo "./usr/share/doc/txconfig/copyright"
  echo "./usr/share/doc/txconfig/changelog.gz"
  echo "./usr/share/doc/txconfig/README.md"
  # The documents the README links to, where its links lead.
  for d in reliability.md screens-and-screen-readers.md screenshots/plot.png settings-json.md; do
    echo "./usr/share/doc/txconfig/docs/$d"
  done
} | sort >"$tmp/expected"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | sort >"$tmp/actual"
diff -u "$tmp/expected" "$tmp/actual" >&2 || fail "file list differs (- expected, + in the package)"

dpkg-deb -f "$deb" Depends | grep -q "fonts-liberation" || fail "no dependency on fonts-liberation"
dpkg-deb -f "$deb" Depends | grep -q "libqt5serialport5" || fail "no library dependencies (dpkg-shlibdeps)"
changelog=$(dpkg-parsechangelog -l packaging/changelog -S Version)
[ "$changelog" = "$version" ] || fail "packaging/changelog is at $changelog, the package at $version"

dpkg-deb -x "$deb" "$tmp/root"
# desktop-file-validate exits 0 on warnings such as deprecated keys: any
# message counts.
desktop-file-validate "$tmp/root/usr/share/applications/$id.desktop" >"$tmp/dfv" 2>&1 || true
[ ! -s "$tmp/dfv" ] || { cat "$tmp/dfv" >&2; fail "desktop-file-validate"; }
appstreamcli validate --no-net "$tmp/root/usr/share/metainfo/$id.metainfo.xml" >"$tmp/as" 2>&1 \
  || { cat "$tmp/as" >&2; fail "appstreamcli validate"; }

rules="$tmp/root/usr/lib/udev/rules.d/70-txconfig-serial.rules"
grep -q 'KERNEL=="ttyUSB\[0-9\]\*".*TAG+="uaccess"' "$rules" || fail "udev rule: no uaccess tag for ttyUSB"
grep -q 'KERNEL=="ttyACM\[0-9\]\*".*TAG+="uaccess"' "$rules" || fail "udev rule: no uaccess tag for ttyACM"
! grep -v '^#' "$rules" | grep -q 'MODE' || fail "udev rule: sets a MODE"
tools/check_udev_rule.sh "$rules" || fail "udev rule: see above"

out=$("$tmp/root/usr/bin/txctl" --version) || fail "txctl --version failed"
[ "$out" = "txctl $version" ] || fail "txctl --version printed \"$out\""

# Every command that `txctl --help` lists has its section in the manual page.
zcat "$tmp/root/usr/share/man/man1/txctl.1.gz" >"$tmp/txctl.1"
for name in $("$tmp/root/usr/bin/txctl" --help | awk '/^Commands:/ { on = 1; next }
    on && /^[[:space:]]*$/ { exit } on && /^  [a-z]/ { print $1 }'); do
  grep -q "^\.SS \"$name" "$tmp/txctl.1" || fail "txctl.1 has no section for \"$name\""
done

lintian "$deb" >"$tmp/lintian" 2>&1 || true
grep -E '^[EW]: ' "$tmp/lintian" >&2 && fail "lintian reports errors or warnings"

# Free software under the GPL, version 3 or later, everywhere it is said.
grep -q '^License: GPL-3+$' "$tmp/root/usr/share/doc/txconfig/copyright" || fail "copyright: not GPL-3+"
grep -q '<project_license>GPL-3.0-or-later</project_license>' "$tmp/root/usr/share/metainfo/$id.metainfo.xml" \
  || fail "AppStream: project_license is not GPL-3.0-or-later"
! grep -q -i 'all rights reserved\|proprietary' "$tmp/root/usr/share/doc/txconfig/copyright" \
  "$tmp/root/usr/share/metainfo/$id.metainfo.xml" || fail "a licence other than the GPL is still named"

if [ "$failures" -gt 0 ]; then
  echo "check_package: $failures check(s) failed for $deb" >&2
  exit 1
fi
echo "package checks passed: $deb"
