#!/usr/bin/env bash
# Checks the artefacts of scripts/release.sh: that the exe's header asks for
# ASLR (high-entropy), DEP and Terminal Server awareness; that SHA256SUMS
# matches them and that a second build of the same sources in other
# directories gives the same bytes (exe, zip, installer, manifests); that the
# winget and Scoop manifests validate against the official JSON schemas in
# ../shared/schemas (beside the repository; skipped, saying so, where it is
# absent) and hold the hashes of the files they name; then tries the
# artefacts under Wine as a user would: the portable zip's contents, then a
# silent per-user install (files, Start-menu shortcut, uninstall entry), a
# start of the installed program until its window shows and a close, an
# upgrade and the entry's quiet uninstall over a running copy (as a standard
# user, then elevated from a folder with spaces; scripts/vellora_install.py,
# which the Windows job runs too), and silent uninstalls that keep and that
# remove the settings.
# Last, it makes a signed release with a throw-away self-signed certificate
# (in $VELLORA_BUILD/release-signed, from the same build tree) and checks that
# every signed file verifies as signed by it and that its installer still
# installs, starts and uninstalls.
#
# Uses the caller's display and Wine prefix when DISPLAY and WINEPREFIX are
# set (as scripts/test.sh leaves them), otherwise starts its own. Prints each
# check; exits non-zero if any failed. Leaves the prefix as it found it: the
# settings key is saved first and put back at the end.
#
# It checks the release in $VELLORA_RELEASE_DIR ($VELLORA_BUILD/release unless
# set), which must be unsigned: it refuses while a signing key is configured.
#
# With VELLORA_RELEASE_OTHER=<folder> (the release folder of a build made
# elsewhere, e.g. another machine's build/release) it compares against that
# instead of building again.
set -euo pipefail
. "$(dirname "$0")/common.sh"

if [ -n "${VELLORA_SIGN_PKCS12:-}${VELLORA_SIGN_PKCS11_KEY:-}" ]; then
  log "this checks an unsigned release, which repeats byte for byte: unset VELLORA_SIGN_PKCS12"
  log "and VELLORA_SIGN_PKCS11_KEY, and run scripts/release.sh again (the signed path is checked here too)"
  exit 1
fi
ensure_packages unzip osslsigncode openssl python3-yaml python3-jsonschema

version=$(sed -n 's/^project(Vellora VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' \
  "$VELLORA_ROOT/CMakeLists.txt")
out=${VELLORA_RELEASE_DIR:-$VELLORA_BUILD/release}
setup_name="vellora-$version-setup.exe"
zip_name="vellora-$version-portable.zip"
setup="$out/$setup_name"
zip_file="$out/$zip_name"
built_exe="$VELLORA_BUILD/release/build/app/vellora.exe"
manifests=(CHANGELOG.md winget/Korvane.Vellora.yaml winget/Korvane.Vellora.installer.yaml
  winget/Korvane.Vellora.locale.en-US.yaml winget/Korvane.Vellora.locale.ja-JP.yaml
  scoop/vellora.json)
schemas="$(cd "$VELLORA_ROOT/.." && pwd)/shared/schemas"
for f in "$setup" "$zip_file" "$built_exe" "$out/SHA256SUMS"; do
  [ -f "$f" ] || {
    log "$f is missing: run scripts/release.sh first"
    exit 1
  }
done

passed=0
failed=0
ok() {
  printf 'ok   %s\n' "$*"
  passed=$((passed + 1))
}
bad() {
  printf 'FAIL %s\n' "$*"
  failed=$((failed + 1))
}
check() { # description, command...
  local what=$1
  shift
  if "$@"; then ok "$what"; else bad "$what"; fi
}

# --- what the exe's header asks of Windows: ASLR with high-entropy
# addresses, DEP, and no Remote Desktop compatibility shims
echo "-- vellora.exe's header"
header=$(x86_64-w64-mingw32-objdump -p "$built_exe" |
  awk '$1 == "Magic" { m = $2 } $1 == "DllCharacteristics" { print m, $2; exit }') || true
read -r magic characteristics <<<"$header"
[[ ${characteristics:-} =~ ^[0-9a-fA-F]+$ ]] || characteristics=0
check "a 64-bit image (PE32+ optional header, magic 020b: ${magic:-none})" test "${magic:-}" = 020b
for flag in DYNAMIC_BASE=0x0040 HIGH_ENTROPY_VA=0x0020 NX_COMPAT=0x0100 TERMINAL_SERVER_AWARE=0x8000; do
  check "DllCharacteristics $characteristics has ${flag%=*}" \
    test $((0x$characteristics & ${flag#*=})) -ne 0
done
# What Wine answers without effect, seen as the calls the exe makes: DLLs from
# system32 only, and a restart after an update.
imports=$(x86_64-w64-mingw32-objdump -p "$built_exe") || true
for call in SetDefaultDllDirectories RegisterApplicationRestart; do
  check "vellora.exe calls $call" grep -qw "$call" <<<"$imports"
done
# Windows 10 and 11 load only these from the system folder whatever the exe's
# folder holds: the KnownDLLs (HKLM\SYSTEM\CurrentControlSet\Control\Session
# Manager\KnownDLLs), ntdll and the API sets, which the loader maps itself, and
# comctl32, bound side by side through the manifest. Any other import is looked
# for beside the exe first, before any of its code runs.
known_dlls=" advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32
  msctf msvcrt normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32
  wldap32 ws2_32 ntdll comctl32 "
imports_known() { # what, exe
  local dll others=
  for dll in $(x86_64-w64-mingw32-objdump -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr A-Z a-z); do
    [[ $known_dlls == *[[:space:]]${dll%.dll}[[:space:]]* || $dll == api-ms-win-* ]] || others+=" $dll"
  done
  check "$1 imports only KnownDLLs and comctl32${others:+; not:$others}" test -z "$others"
}
imports_known vellora.exe "$built_exe"
imports_known "the installer" "$setup"

# --- the same bytes from a second build
echo "-- checksums and a second build"
check "SHA256SUMS matches the zip and the installer" \
  bash -c 'cd "$1" && sha256sum -c SHA256SUMS' _ "$out"
other=${VELLORA_RELEASE_OTHER:-}
if [ -z "$other" ]; then
  # The sources copied to another folder and built in a tree of another
  # path, so that neither the source nor the build path can leak into the
  # bytes; the commit's time is passed on, as the copy is no git checkout.
  again="$VELLORA_BUILD/release-again"
  rm -rf "$again"
  mkdir -p "$again/src"
  if [ "$(git -C "$VELLORA_ROOT" rev-parse --show-toplevel 2>/dev/null)" = "$VELLORA_ROOT" ]; then
    # What git would commit now (a file deleted but not yet committed is skipped).
    (cd "$VELLORA_ROOT" && git ls-files -z --cached --others --exclude-standard |
      tar --null -T - --ignore-failed-read -cf - 2>/dev/null) | tar -xf - -C "$again/src"
  else
    tar -C "$VELLORA_ROOT" --exclude=./build --exclude="./${VELLORA_BUILD#"$VELLORA_ROOT"/}" \
      -cf - . | tar -xf - -C "$again/src"
  fi
  log "building the release a second time in $again"
  if SOURCE_DATE_EPOCH=$(source_date_epoch) VELLORA_BUILD="$again/b" VELLORA_RELEASE_DIR='' \
    "$again/src/scripts/release.sh" >"$again/log.txt" 2>&1; then
    other="$again/b/release"
    check "a build with no key configured says that it does not sign" \
      grep -q 'not signing: no key configured' "$again/log.txt"
  else
    bad "the second build failed (its output: $again/log.txt)"
  fi
fi
same() { # what, this build's file, the other's
  if cmp -s "$2" "$3"; then
    ok "$1 is byte-identical in both builds"
  else
    bad "$1 differs between the builds ($( (cmp -l "$2" "$3" 2>&1 || true) | wc -l) bytes; $2 against $3)"
  fi
}
if [ -n "$other" ]; then
  same vellora.exe "$built_exe" "$other/build/app/vellora.exe"
  same "$zip_name" "$zip_file" "$other/$zip_name"
  same "$setup_name" "$setup" "$other/$setup_name"
  same SHA256SUMS "$out/SHA256SUMS" "$other/SHA256SUMS"
  for f in "${manifests[@]}"; do same "$f" "$out/$f" "$other/$f"; done
fi
# Kept only to look into a difference.
[ -z "${again:-}" ] || [ $failed -ne 0 ] || rm -rf "$again"

# Prints each check of a Python checker as one of ours.
checks_of() { # command...
  local output status line before=$failed
  output=$("$@" 2>&1) && status=0 || status=$?
  while IFS= read -r line; do
    case $line in
      "ok   "*) ok "${line#ok   }" ;;
      "FAIL "*) bad "${line#FAIL }" ;;
      *) printf '%s\n' "$line" ;;
    esac
  done <<<"$output"
  [ $status -eq 0 ] || [ $failed -ne $before ] || bad "$(basename "$2") ended with $status"
}

# --- the package manager manifests
echo "-- winget and Scoop manifests"
checks_of /usr/bin/python3 "$VELLORA_ROOT/packaging/manifests.py" check "$out" \
  --version "$version" --schemas "$schemas"

# Vellora's keys, as the Windows job names them too.
install_py="$VELLORA_ROOT/scripts/vellora_install.py"
{ read -r settings_key && read -r uninstall_key; } < <(python3 "$install_py" keys) || {
  log "$install_py names no keys"
  exit 1
}
own_wine=0
saved_settings=
key_dir=
cleanup() {
  # A throw-away key never outlives the run.
  [ -z "$key_dir" ] || rm -rf "$key_dir"
  # Put the caller's settings back as they were.
  if [ -n "$saved_settings" ]; then
    wine reg delete "$settings_key" /f >/dev/null 2>&1 || true
    if [ -s "$saved_settings" ]; then
      wine reg import "$(winepath -w "$saved_settings")" >/dev/null 2>&1 || true
    fi
    rm -f "$saved_settings"
  fi
  # The caller's Wine server runs on after us.
  [ $own_wine -eq 1 ] || unset WINEPREFIX
  stop_all
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  start_xvfb
fi
if [ -z "${WINEPREFIX:-}" ] || [ ! -d "$WINEPREFIX" ]; then
  start_wine
  own_wine=1
fi
# No host menu entries for the shortcuts the installer makes.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-};winemenubuilder.exe=d"
export WINEDEBUG=-all
log "checking the release $version under Wine (prefix $WINEPREFIX, display $DISPLAY)"

# The probe asks Windows what a user's Windows would see; a target of the
# release's build tree, never shipped.
cmake --build "$VELLORA_BUILD/release/build" --target release_probe >/dev/null
probe="$VELLORA_BUILD/release/build/packaging/release_probe.exe"
probe() { # through a file: a Vellora that an installer starts again inherits it under Wine
  wine "$probe" "$@" </dev/null >"$out/probe.txt" 2>/dev/null || true; tr -d '\r' <"$out/probe.txt"; }
value() { sed -n "s/^$1=//p" <<<"$2" | head -1; }

win_env() { wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }
local_appdata=$(win_env LOCALAPPDATA)
appdata=$(win_env APPDATA)
install_win="$local_appdata\\Programs\\Vellora"
install_dir=$(winepath -u "$install_win" 2>/dev/null)
shortcut_win="$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\Vellora.lnk"
shortcut=$(winepath -u "$shortcut_win" 2>/dev/null)
key_exists() { wine reg query "$1" >/dev/null 2>&1; }
key_missing() { ! key_exists "$1"; }
# The uninstaller's last step may trail its end by a moment.
gone() {
  local i
  for i in $(seq 1 50); do
    [ -e "$1" ] || return 0
    sleep 0.2
  done
  return 1
}
reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }

temp_dir=$(winepath -u "$(win_env TEMP)" 2>/dev/null)
if [ -z "$local_appdata" ] || [ -z "$appdata" ] || [ -z "$install_dir" ] || [ -z "$shortcut" ]; then
  log "cannot find the user's folders in the Wine prefix"
  exit 1
fi

# Start from no install and no settings; the caller's settings come back at the end.
export_file=$(mktemp --suffix=.reg)
if key_exists "$settings_key"; then
  wine reg export "$settings_key" "$(winepath -w "$export_file")" /y >/dev/null 2>&1
else
  : >"$export_file"
fi
saved_settings=$export_file
wine reg delete "$settings_key" /f >/dev/null 2>&1 || true
wine reg delete "$uninstall_key" /f >/dev/null 2>&1 || true
rm -rf "$install_dir" "$shortcut" "$temp_dir/Vellora-uninstall.exe"
temp_before=$(ls -A "$temp_dir")
temp_new() { comm -13 <(echo "$temp_before") <(ls -A "$temp_dir") | tr '\n' ' '; }

# --- the portable zip
echo "-- portable zip: $(basename "$zip_file")"
check "holds exactly vellora.exe, README.txt and LICENSE.txt" \
  test "$(unzip -Z1 "$zip_file" | sort | tr '\n' ' ')" = "LICENSE.txt README.txt vellora.exe "
unpacked=$(mktemp -d)
unzip -q "$zip_file" -d "$unpacked"
check "its vellora.exe is the release build" cmp -s "$unpacked/vellora.exe" "$built_exe"
check "its read-me names version $version" grep -q "Vellora $version" "$unpacked/README.txt"
check "its licence is the MIT licence of Korvane" \
  grep -q 'Copyright (c) 2026 Korvane' "$unpacked/LICENSE.txt"
facts=$(probe inspect "$(winepath -w "$unpacked/vellora.exe")")
rm -rf "$unpacked"
check "version $version.0, as Windows reads it" test "$(value file_version "$facts")" = "$version.0"
check "product Vellora, maker Korvane, product version $version.0" test \
  "$(value ProductName "$facts")|$(value CompanyName "$facts")|$(value ProductVersion "$facts")" \
  = "Vellora|Korvane|$version.0"
check "icon in 16, 24, 32, 48 and 256 pixels" \
  test "$(value icon_sizes "$facts" | tr ' ' '\n' | sort -n | tr '\n' ' ')" = "16 24 32 48 256 "
check "manifest: common controls 6, asInvoker, per-monitor DPI awareness" \
  test "$(grep -c '^manifest_has=.*:yes$' <<<"$facts")" -eq 4

# A silent install of the given installer, which must put the given exe in place.
install_silently() { # installer, exe
  local result target
  result=$(probe run "$(winepath -w "$1")" /S)
  check "the installer ends with exit code 0" test "$(value exit_code "$result")" = 0
  check "vellora.exe is in $install_win and is the release build" \
    cmp -s "$install_dir/vellora.exe" "$2"
  check "README.txt, LICENSE.txt and uninstall.exe are beside it" \
    test -f "$install_dir/README.txt" -a -f "$install_dir/LICENSE.txt" -a -f "$install_dir/uninstall.exe"
  target=$(value target "$(probe shortcut "$shortcut_win")")
  check "the Start-menu shortcut starts the installed vellora.exe" \
    test "${target,,}" = "${install_win,,}\\vellora.exe"
  check "uninstall entry: Vellora $version by Korvane" test \
    "$(reg_value "$uninstall_key" DisplayName)|$(reg_value "$uninstall_key" DisplayVersion)|$(reg_value "$uninstall_key" Publisher)" \
    = "Vellora|$version|Korvane"
  check "uninstall entry: its uninstaller, silent form and install folder" test \
    "$(reg_value "$uninstall_key" UninstallString)|$(reg_value "$uninstall_key" QuietUninstallString)|$(reg_value "$uninstall_key" InstallLocation)" \
    = "\"$install_win\\uninstall.exe\" _?=$install_win|\"$install_win\\uninstall.exe\" /S _?=$install_win|$install_win"
}

# The installed program starts, shows its window and ends.
start_installed() {
  local result
  result=$(probe start "$install_win\\vellora.exe")
  check "its mirror window appears ($(value window "$result"))" test -n "$(value window "$result")"
  check "closed, it ends with exit code 0" test "$(value exit_code "$result")" = 0
  check "it kept its settings in $settings_key" key_exists "$settings_key\\Setting"
}

# A silent uninstall (with the given switches) that removes all it installed.
uninstall_silently() { # switches...
  local result
  result=$(probe run "$install_win\\uninstall.exe" /S "$@")
  check "the uninstaller ends with exit code 0" test "$(value exit_code "$result")" = 0
  check "the install folder is gone" gone "$install_dir"
  check "the Start-menu shortcut is gone" test ! -e "$shortcut"
  check "the uninstall entry is gone" key_missing "$uninstall_key"
}

# --- silent install
echo "-- silent install: $setup_name /S"
install_silently "$setup" "$built_exe"
imports_known "the installed uninstall.exe" "$install_dir/uninstall.exe"

echo "-- start the installed vellora.exe"
start_installed

# --- an upgrade and a quiet uninstall over a running copy, as winget runs them
upgrade() { # vellora_install.py's switches
  checks_of python3 "$install_py" upgrade "$setup" --probe "$probe" "$@"
}
echo "-- $setup_name /S over the running vellora.exe, its mirror moved, both as a standard user;"
echo "   then the entry's QuietUninstallString over the Vellora started again"
upgrade --limited
check "%TEMP% holds nothing new but the uninstaller's copy, Vellora-uninstall.exe (new: $(temp_new))" \
  test -z "$(temp_new | sed 's/Vellora-uninstall.exe //')"
rm -f "$out/probe.txt"
# A folder with spaces, for the quiet uninstall's command line below.
spaced_win="$local_appdata\\Programs\\Vellora with spaces"
result=$(probe run "$(winepath -w "$setup")" /S "/D=$spaced_win")
check "installed again, into $spaced_win, with exit code 0; %TEMP% holds nothing new ($(temp_new))" \
  test "$(value exit_code "$result")|$(temp_new)|$(reg_value "$uninstall_key" InstallLocation)" = "0||$spaced_win"
echo "-- $setup_name /S elevated, as from an administrator's prompt, over a running copy;"
echo "   then the entry's QuietUninstallString"
upgrade
result=$(probe run "$(winepath -w "$setup")" /S)
check "installed again, with exit code 0" test "$(value exit_code "$result")" = 0
rm "$install_dir/README.txt" && mkdir "$install_dir/README.txt"
result=$(probe run "$(winepath -w "$setup")" /S)
check "a file it cannot write (README.txt made a folder) fails the install: exit code $(value exit_code "$result")" \
  test "$(value exit_code "$result")" -ne 0
rmdir "$install_dir/README.txt"
result=$(probe run "$(winepath -w "$setup")" /S)
check "installed again, with exit code 0" test "$(value exit_code "$result")" = 0

# --- silent uninstall keeps the settings
echo "-- silent uninstall: uninstall.exe /S"
uninstall_silently
check "the settings are kept" key_exists "$settings_key\\Setting"

# --- and with /REMOVESETTINGS removes them
echo "-- install again, then uninstall.exe /S /REMOVESETTINGS"
result=$(probe run "$(winepath -w "$setup")" /S)
check "the installer ends with exit code 0" test "$(value exit_code "$result")" = 0
uninstall_silently /REMOVESETTINGS
check "the settings are gone" key_missing "$settings_key"

# --- a signed release, with a certificate made here and now
echo "-- a signed release (throw-away self-signed certificate, no time-stamp)"
signed="$VELLORA_BUILD/release-signed"
rm -rf "$signed"
mkdir -p "$signed/key"
key_dir="$signed/key"
password=$(openssl rand -hex 16)
subject="/CN=Vellora release check $(date +%s)"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "$subject" \
  -addext extendedKeyUsage=codeSigning -keyout "$key_dir/key.pem" -out "$key_dir/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$key_dir/key.pem" -in "$key_dir/cert.pem" \
  -out "$key_dir/signer.p12" -passout "pass:$password"
fingerprint() { openssl x509 -noout -fingerprint -sha256 | sed 's/.*=//'; }
made=$(fingerprint <"$key_dir/cert.pem")
# Verifies against the certificate as the only trusted root, and reads the
# signer's certificate out of the signature.
signed_by_it() { # file
  local signer
  osslsigncode verify -CAfile "$key_dir/cert.pem" -in "$1" >"$1.verify" 2>&1 &&
    grep -q '^Signature verification: ok' "$1.verify" || return 1
  osslsigncode extract-signature -pem -in "$1" -out "$1.sig" >/dev/null 2>&1 || return 1
  signer=$(openssl pkcs7 -print_certs -in "$1.sig" | fingerprint)
  rm -f "$1.verify" "$1.sig"
  [ "$signer" = "$made" ]
}
# From the release's build tree; only the staging, signing and packing are new.
if VELLORA_RELEASE_DIR="$signed/release" VELLORA_SIGN_PKCS12="$key_dir/signer.p12" \
  VELLORA_SIGN_PASSWORD="$password" VELLORA_SIGN_TIMESTAMP_URL='' \
  "$VELLORA_ROOT/scripts/release.sh" >"$signed/log.txt" 2>&1; then
  signed_setup="$signed/release/$setup_name"
  unzip -q "$signed/release/$zip_name" vellora.exe -d "$signed"
  check "the zip's vellora.exe verifies, signed by the certificate made ($made)" \
    signed_by_it "$signed/vellora.exe"
  osslsigncode remove-signature -in "$signed/vellora.exe" -out "$signed/unsigned.exe" >/dev/null 2>&1 || true
  check "... and without its signature it is the release build, byte for byte" \
    cmp -s "$signed/unsigned.exe" "$built_exe"
  check "the installer verifies, signed by the same certificate" signed_by_it "$signed_setup"
  check "the signed release's manifests hold its own hashes" bash -c \
    '/usr/bin/python3 "$0" check "$1" --version "$2" --schemas /nonexistent >/dev/null' \
    "$VELLORA_ROOT/packaging/manifests.py" "$signed/release" "$version"
  echo "-- the signed installer under Wine"
  install_silently "$signed_setup" "$signed/vellora.exe"
  cp "$install_dir/uninstall.exe" "$signed/uninstall.exe" 2>/dev/null || true
  check "the installed uninstall.exe verifies, signed by the same certificate" \
    signed_by_it "$signed/uninstall.exe"
  start_installed
  uninstall_silently
else
  bad "the signed release could not be made (its output: $signed/log.txt)"
fi
# The key is thrown away in any case; the rest is kept only to look into a failure.
rm -rf "$key_dir"
[ $failed -ne 0 ] || rm -rf "$signed"

echo "release_check: $passed passed, $failed failed"
[ $failed -eq 0 ]
