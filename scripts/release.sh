#!/usr/bin/env bash
# Makes the release artefacts: installs what is missing, builds an optimised,
# stripped, static vellora.exe in its own tree, checks it, and writes
#   $VELLORA_BUILD/release/vellora-<version>-portable.zip  (exe, read-me, licence)
#   $VELLORA_BUILD/release/vellora-<version>-setup.exe     (per-user NSIS installer)
#   $VELLORA_BUILD/release/SHA256SUMS                      (checksums of the two)
# then prints their sizes. scripts/release_check.sh tries them under Wine.
#
# The same commit gives the same bytes: the exe carries no link time, and the
# files in the zip and the installer carry the commit's time
# (SOURCE_DATE_EPOCH; from git, or else the newest source file's time).
set -euo pipefail
. "$(dirname "$0")/common.sh"

ensure_packages nsis zip unzip

version=$(sed -n 's/^project(Vellora VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' \
  "$VELLORA_ROOT/CMakeLists.txt")
[ -n "$version" ] || { log "no version in the project() line of CMakeLists.txt"; exit 1; }

SOURCE_DATE_EPOCH=$(source_date_epoch)
[[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || { log "no usable SOURCE_DATE_EPOCH"; exit 1; }
export SOURCE_DATE_EPOCH

out="$VELLORA_BUILD/release"
tree="$out/build"
stage="$out/stage"
zip_file="$out/vellora-$version-portable.zip"
setup_file="$out/vellora-$version-setup.exe"
exe="$tree/app/vellora.exe"
triplet=x86_64-w64-mingw32

log "building the release of Vellora $version"
cmake -S "$VELLORA_ROOT" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DVELLORA_STRIP=ON \
  -DCMAKE_EXE_LINKER_FLAGS="-Wl,--no-insert-timestamp" \
  -DCMAKE_TOOLCHAIN_FILE="$VELLORA_ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$tree" --target vellora

# What the artefacts promise about the exe, checked before they are made.
fail() {
  log "release check failed: $*"
  exit 1
}
headers=$($triplet-objdump -p "$exe")
grep -Eq '^Subsystem[[:space:]]+0*2[[:space:]]+\(Windows GUI\)' <<<"$headers" ||
  fail "vellora.exe is not a GUI (no console) program"
# Static: only DLLs that come with Windows.
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u)
for dll in $dlls; do
  case $dll in
    kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | comctl32.dll | ole32.dll | \
      shell32.dll | msvcrt.dll | api-ms-win-*.dll) ;;
    *) fail "vellora.exe needs $dll, which Windows does not have" ;;
  esac
done
$triplet-objdump -t "$exe" | grep -q 'no symbols' || fail "vellora.exe is not stripped"
grep -Eq '^Time/Date[[:space:]]+Thu Jan  1 00:00:00 1970$' <<<"$(TZ=UTC $triplet-objdump -p "$exe")" ||
  fail "vellora.exe carries a link time"
# The resources as the resource compiler reads them back from the exe.
resources=$($triplet-windres -i "$exe" -O rc 2>/dev/null)
dotted=${version//./,}
grep -Eq "FILEVERSION +${dotted//,/, *}, *0" <<<"$resources" || fail "FILEVERSION is not $version"
grep -Eq "PRODUCTVERSION +${dotted//,/, *}, *0" <<<"$resources" ||
  fail "PRODUCTVERSION is not $version"
for pair in 'ProductName=Vellora' 'CompanyName=Korvane' "ProductVersion=$version.0" \
  "FileVersion=$version.0" 'OriginalFilename=vellora.exe'; do
  grep -Fq "VALUE \"${pair%%=*}\", \"${pair#*=}\"" <<<"$resources" ||
    fail "version resource lacks ${pair%%=*} \"${pair#*=}\""
done
grep -Fq "version=\"$version.0\"" "$VELLORA_ROOT/res/vellora.manifest" ||
  fail "the manifest's assembly version is not $version.0"
icon_sizes=$(identify -format '%w ' "$VELLORA_ROOT/res/vellora.ico" | tr ' ' '\n' | sort -n |
  tr '\n' ' ')
[ "$icon_sizes" = "16 24 32 48 256 " ] || fail "icon sizes are '$icon_sizes', not 16 24 32 48 256"

log "staging"
rm -rf "$stage"
mkdir -p "$stage"
cp "$exe" "$stage/vellora.exe"
# Texts for Windows: CRLF line ends.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$VELLORA_ROOT/packaging/README.txt" \
  >"$stage/README.txt"
sed -e 's/$/\r/' "$VELLORA_ROOT/LICENSE" >"$stage/LICENSE.txt"
# Modes and times as the commit has them, not as this umask and clock make them.
chmod 0755 "$stage/vellora.exe"
chmod 0644 "$stage/README.txt" "$stage/LICENSE.txt"
TZ=UTC touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*

log "making $(basename "$zip_file")"
rm -f "$zip_file"
# Zip keeps local time: in UTC, and no extra fields (owner, exact times), in a
# fixed order.
(cd "$stage" && TZ=UTC zip -q -X -9 "$zip_file" vellora.exe README.txt LICENSE.txt)

log "making $(basename "$setup_file")"
rm -f "$setup_file"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" \
  -DICON="$VELLORA_ROOT/res/vellora.ico" -DOUTFILE="$setup_file" \
  "$VELLORA_ROOT/packaging/vellora.nsi"

(cd "$out" && sha256sum "$(basename "$zip_file")" "$(basename "$setup_file")" >SHA256SUMS)

size() { printf '%8d bytes (%d KiB)  %s\n' "$(stat -c %s "$1")" $((($(stat -c %s "$1") + 1023) / 1024)) "$1"; }
log "release $version made"
size "$exe"
size "$zip_file"
size "$setup_file"
sed 's/^/  /' "$out/SHA256SUMS"
