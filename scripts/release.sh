#!/usr/bin/env bash
# Makes the release artefacts: installs what is missing, builds an optimised,
# stripped, static vellora.exe in its own tree ($VELLORA_BUILD/release/build),
# checks it, and writes into $VELLORA_RELEASE_DIR ($VELLORA_BUILD/release unless set)
#   vellora-<version>-portable.zip  (exe, read-me, licence)
#   vellora-<version>-setup.exe     (per-user NSIS installer)
#   SHA256SUMS                      (checksums of the two)
#   CHANGELOG.md                    (the release notes that the manifests link)
#   winget/Korvane.Vellora*.yaml    (winget manifests: version, installer, en-US, ja-JP)
#   scoop/vellora.json              (Scoop manifest)
# then prints their sizes. scripts/release_check.sh tries them under Wine.
#
# The manifests give the download address of each file as
# $VELLORA_DOWNLOAD_URL/<version>/<file>, by default under the home page.
#
# With a key configured (VELLORA_SIGN_*, see packaging/sign.sh) vellora.exe is
# signed before it is staged, and so are the uninstaller and the installer;
# without one nothing is signed, and the log says so.
#
# The same commit gives the same bytes: the exe carries no link time, and the
# files in the zip and the installer carry the commit's time
# (SOURCE_DATE_EPOCH; from git, or else the newest source file's time). A
# signature carries the time of signing, so only unsigned releases repeat.
set -euo pipefail
. "$(dirname "$0")/common.sh"

sign="$VELLORA_ROOT/packaging/sign.sh"
signing=1
"$sign" --configured || case $? in
  1) signing=0 ;;
  *) exit 1 ;;
esac
extra=()
[ -z "${VELLORA_SIGN_PKCS11_KEY:-}" ] || extra=(libengine-pkcs11-openssl)
ensure_packages nsis zip unzip osslsigncode python3-yaml python3-jsonschema "${extra[@]}"

version=$(sed -n 's/^project(Vellora VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' \
  "$VELLORA_ROOT/CMakeLists.txt")
[ -n "$version" ] || { log "no version in the project() line of CMakeLists.txt"; exit 1; }

SOURCE_DATE_EPOCH=$(source_date_epoch)
[[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || { log "no usable SOURCE_DATE_EPOCH"; exit 1; }
export SOURCE_DATE_EPOCH

# The addresses the program shows in its About box.
home=$(sed -n 's/.*"\(https:[^"]*\)", IDC_ABOUT_LINK.*/\1/p' "$VELLORA_ROOT/res/english.rc")
home_ja=$(sed -n 's/.*"\(https:[^"]*\)", IDC_ABOUT_LINK.*/\1/p' "$VELLORA_ROOT/res/japanese.rc")
[ -n "$home" ] && [ -n "$home_ja" ] || { log "no home page in res/english.rc or res/japanese.rc"; exit 1; }
download_url=${VELLORA_DOWNLOAD_URL:-${home}download}

out=${VELLORA_RELEASE_DIR:-$VELLORA_BUILD/release}
tree="$VELLORA_BUILD/release/build"
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
# Static: only DLLs that come with Windows and that the loader takes from its
# system folder (KnownDLLs, and comctl32 bound through the manifest); the
# release check tests the whole list.
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u)
for dll in $dlls; do
  case $dll in
    kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | comctl32.dll | ole32.dll | \
      shell32.dll | msvcrt.dll | api-ms-win-*.dll) ;;
    *) fail "vellora.exe needs $dll, which Windows does not have or looks for beside the exe first" ;;
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
if [ $signing -eq 1 ]; then
  log "signing with ${VELLORA_SIGN_PKCS12:-the PKCS#11 key $VELLORA_SIGN_PKCS11_KEY}"
  [ -n "${VELLORA_SIGN_TIMESTAMP_URL:-}" ] ||
    log "no time-stamp server (VELLORA_SIGN_TIMESTAMP_URL): the signatures end with the certificate"
  "$sign" "$stage/vellora.exe"
else
  log "not signing: no key configured (VELLORA_SIGN_PKCS12 or VELLORA_SIGN_PKCS11_KEY)"
fi
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
sign_define=()
[ $signing -eq 0 ] || sign_define=(-DSIGN="$sign")
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" \
  -DICON="$VELLORA_ROOT/res/vellora.ico" -DOUTFILE="$setup_file" "${sign_define[@]}" \
  "$VELLORA_ROOT/packaging/vellora.nsi"

(cd "$out" && sha256sum "$(basename "$zip_file")" "$(basename "$setup_file")" >SHA256SUMS)

log "writing the winget and Scoop manifests (downloads from $download_url/$version/)"
cp "$VELLORA_ROOT/CHANGELOG.md" "$out/CHANGELOG.md"
rm -rf "$out/winget" "$out/scoop"
# Debian's python3, whose modules the packages above bring.
/usr/bin/python3 "$VELLORA_ROOT/packaging/manifests.py" write "$out" --version "$version" \
  --epoch "$SOURCE_DATE_EPOCH" --download-url "$download_url" --home "$home" --home-ja "$home_ja"

size() { printf '%8d bytes (%d KiB)  %s\n' "$(stat -c %s "$1")" $((($(stat -c %s "$1") + 1023) / 1024)) "$1"; }
log "release $version made"
size "$exe"
size "$zip_file"
size "$setup_file"
sed 's/^/  /' "$out/SHA256SUMS"
(cd "$out" && find winget scoop -type f | sort | sed 's/^/  /')
