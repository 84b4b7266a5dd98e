#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the build into a scratch prefix and checks what lands where:
#   check-install.sh BUILD_DIR PACKAGING_DIR VERSION
set -eu
build=$1
packaging=$2
version=$3
root=$(mktemp -d /tmp/oskel-install-XXXXXX)
trap 'rm -rf "$root"' EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$root/usr" >/dev/null

rule=$root/usr/lib/udev/rules.d/70-oskel.rules
[ -f "$rule" ] || fail "no udev rule at lib/udev/rules.d/70-oskel.rules"
# Access for the user at the seat, on the configuration interface only, never for everyone.
grep -q 'TAG+="uaccess"' "$rule" || fail "the rule does not tag the device uaccess"
grep -q 'SUBSYSTEM!="hidraw"' "$rule" || fail "the rule is not limited to hidraw"
grep -q 'ENV{ID_VENDOR_ID}=="0483"' "$rule" || fail "the rule does not match vendor 0483"
grep -q 'ENV{ID_MODEL_ID}=="5022"' "$rule" || fail "the rule does not match product 5022"
grep -q 'ENV{ID_USB_INTERFACE_NUM}=="01"' "$rule" || fail "the rule does not match interface 01"
if grep -v '^#' "$rule" | grep -Eq '(^|[ ,])(MODE|GROUP|OWNER)[:+]?='; then
    fail "the rule changes the node's mode or owner"
fi

desktop=$packaging/org.oskel.Oskel.desktop
grep -q '^Exec=Oskel$' "$desktop" || fail "the desktop entry does not start Oskel"
grep -q '^Icon=org.oskel.Oskel$' "$desktop" || fail "the desktop entry names another icon"
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$desktop" || fail "the desktop entry does not validate"
fi

# Every installed program has a manual page that renders without a warning.
for program in Oskel oskelctl oskel-virtual-keyboard; do
    [ -x "$build/bin/$program" ] || continue
    man=$root/usr/share/man/man1/$program.1.gz
    [ -f "$man" ] || fail "missing the $program manual page"
    gzip -dc "$man" | grep -q "^\.TH $(echo "$program" | tr '[:lower:]' '[:upper:]' | sed 's/-/\\\\-/g') 1 " ||
        fail "the $program manual page has another title"
    if command -v groff >/dev/null 2>&1; then
        warnings=$(gzip -dc "$man" | groff -man -Tutf8 -ww 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "the $program manual page has roff warnings: $warnings"
    fi
done

# The licence and the changelog where Debian wants them; the changelog's latest entry is the
# version being installed.
doc=$root/usr/share/doc/oskel
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$doc/copyright" || fail "the copyright file is not in the machine-readable format"
grep -q '^License: GPL-2.0-or-later$' "$doc/copyright" || fail "the copyright file names no GPL"
grep -q '/usr/share/common-licenses/GPL-2' "$doc/copyright" ||
    fail "the copyright file does not point at the common GPL-2 text"
grep -q '<project_license>GPL-2.0-or-later</project_license>' "$packaging/org.oskel.Oskel.metainfo.xml" ||
    fail "the metainfo names another licence"
[ -f "$doc/changelog.gz" ] || fail "no changelog.gz"
head=$(gzip -dc "$doc/changelog.gz" | head -n 1)
case $head in
    "oskel ($version) "*) ;;
    *) fail "the changelog's latest entry is '$head', not version $version" ;;
esac

if [ -x "$build/bin/oskelctl" ]; then
    # The installed program finds its library through its RPATH alone, in the programs' own
    # folder, never in one the dynamic linker searches for everyone.
    env -u LD_LIBRARY_PATH "$root/usr/bin/oskelctl" --help >/dev/null ||
        fail "the installed oskelctl does not run"
    for f in share/oskel/oskel-profile.schema.json share/bash-completion/completions/oskelctl \
             share/zsh/vendor-completions/_oskelctl; do
        [ -f "$root/usr/$f" ] || fail "missing $f"
    done
    private=
    for lib in "$root"/usr/lib/*/oskel/libOskelHWI.so.1 "$root"/usr/lib/oskel/libOskelHWI.so.1; do
        [ ! -f "$lib" ] || private=$lib
    done
    [ -n "$private" ] || fail "libOskelHWI.so.1 is not in lib/<multiarch>/oskel"
    if find "$root/usr/lib" -maxdepth 2 -name 'libOskelHWI*' | grep -q .; then
        fail "libOskelHWI is installed where the dynamic linker searches"
    fi
fi
if [ -x "$build/bin/Oskel" ]; then
    for f in bin/Oskel share/oskel/OskelRES.rcc share/oskel/Oskel.html \
             share/applications/org.oskel.Oskel.desktop \
             share/icons/hicolor/scalable/apps/org.oskel.Oskel.svg \
             share/metainfo/org.oskel.Oskel.metainfo.xml; do
        [ -f "$root/usr/$f" ] || fail "missing $f"
    done
else
    # Without the program there is nothing for the desktop to start.
    [ ! -e "$root/usr/share/applications/org.oskel.Oskel.desktop" ] ||
        fail "a desktop entry without the program"
fi
if command -v appstreamcli >/dev/null 2>&1; then
    appstreamcli validate --no-net --pedantic "$packaging/org.oskel.Oskel.metainfo.xml" \
        >/dev/null 2>&1 || appstreamcli validate --no-net \
        "$packaging/org.oskel.Oskel.metainfo.xml" >/dev/null || fail "metainfo does not validate"
fi
echo "check-install: ok"
