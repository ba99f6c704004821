#!/usr/bin/env bash
# Installs the build into a temporary root, then builds the Debian package and
# unpacks it into another: in both, the program, its documents, the launcher,
# the icons and the metainfo must be where the launcher expects them, and the
# installed program must start from its own folder.
#   check_install.sh <build folder>
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

check_root() { # root prefix
  local root="$1" prefix="$2"
  local dir="$root$prefix/lib/tensiolog"
  [[ -x "$dir/tensiolog" ]] || fail "no program in $dir"
  [[ -f "$dir/Kestrune TNV Help.chm" ]] || fail "no help file beside the program"
  [[ -f "$dir/Kestrune TNV Help/index.html" && -f "$dir/Kestrune TNV Help/style.css" ]] ||
    fail "no HTML help pages beside the program"
  [[ -f "$dir/TNV Docs/CNAM-Relévé Automesure-tensionnelle_VF.pdf" ]] || fail "no form"
  [[ -f "$dir/TNV Docs/Tensiolog_Licence-FR.txt" ]] || fail "no licence text"
  local desktop="$root$prefix/share/applications/fr.drevant.Tensiolog.desktop"
  [[ -f "$desktop" ]] || fail "no launcher"
  grep -qx "Exec=$prefix/lib/tensiolog/tensiolog" "$desktop" || fail "launcher Exec: $(grep Exec= "$desktop")"
  grep -qx "Path=$prefix/lib/tensiolog" "$desktop" || fail "launcher Path: $(grep Path= "$desktop")"
  grep -qx "Icon=fr.drevant.Tensiolog" "$desktop" || fail "launcher icon"
  for size in 16 32 48 64 128 256; do
    [[ -f "$root$prefix/share/icons/hicolor/${size}x${size}/apps/fr.drevant.Tensiolog.png" ]] || fail "no ${size}px icon"
  done
  [[ -f "$root$prefix/share/metainfo/fr.drevant.Tensiolog.metainfo.xml" ]] || fail "no metainfo"
  [[ "$(readlink "$root$prefix/bin/tensiolog")" == "$prefix/lib/tensiolog/tensiolog" ]] || fail "command link"
  [[ -x "$dir/tensiolog-cli" ]] || fail "no tensiolog-cli beside the program"
  [[ "$(readlink "$root$prefix/bin/tensiolog-cli")" == "$prefix/lib/tensiolog/tensiolog-cli" ]] ||
    fail "tensiolog-cli link"
  # Read whole first: grep -q stops at its match, and the rest of the help
  # would then meet a closed pipe.
  local help
  help="$("$dir/tensiolog-cli" --help)" || fail "tensiolog-cli --help"
  grep -q "rapport" <<<"$help" || fail "tensiolog-cli --help"
  if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi
}

# 1. cmake --install into a temporary root.
DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null
check_root "$work/root" /usr

# The installed program starts from its own folder (as the launcher starts
# it) and creates its data folder; with no patient yet it waits in the
# patient manager, so it is still running when the time is up.
# Its own temporary folder keeps it apart from a copy the user may be running
# (the single-instance lock and socket live there).
home="$work/home"
mkdir -p "$home" "$work/tmp"
set +e
(cd "$work/root/usr/lib/tensiolog" &&
  HOME="$home" TMPDIR="$work/tmp" QT_QPA_PLATFORM=offscreen timeout 5 ./tensiolog >/dev/null 2>&1)
rc=$?
set -e
[[ $rc -eq 124 ]] || fail "the installed program ended by itself (exit $rc)"
[[ -d "$home/Kestrune Arteline/Archives Arteline" ]] || fail "no data folder created"

# 2. The Debian package.
(cd "$build" && cpack -G DEB -B "$work/packages" >/dev/null)
deb=$(ls "$work"/packages/tensiolog_*_amd64.deb)
dpkg-deb -x "$deb" "$work/deb"
check_root "$work/deb" /usr
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libqt6widgets6 libqt6gui6 libpng16-16 qt6-qpa-plugins qt6-translations-l10n; do
  [[ "$depends" == *"$dep"* ]] || fail "package does not depend on $dep: $depends"
done
echo "1 passed, 0 failed"
