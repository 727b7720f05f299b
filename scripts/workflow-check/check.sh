#!/usr/bin/env bash
# Checks the CI workflows against the published JSON schema of GitHub workflow
# files, offline: the validator pinned in package-lock.json carries the schema.
# It is installed once into $VELLORA_BUILD/workflow-check.
set -euo pipefail
. "$(dirname "$0")/../common.sh"

here="$VELLORA_ROOT/scripts/workflow-check"
dir="$VELLORA_BUILD/workflow-check"
command -v node >/dev/null && command -v npm >/dev/null || ensure_packages nodejs npm
if [ ! -d "$dir/node_modules" ] || ! cmp -s "$here/package-lock.json" "$dir/package-lock.json"; then
  log "installing the workflow validator into $dir"
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$here/package.json" "$here/package-lock.json" "$dir/"
  (cd "$dir" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
fi
status=0
for f in "$VELLORA_ROOT"/.github/workflows/*.yml; do
  if node "$dir/node_modules/@action-validator/cli/cli.mjs" "$f"; then
    echo "ok   ${f#"$VELLORA_ROOT"/}"
  else
    echo "FAIL ${f#"$VELLORA_ROOT"/}"
    status=1
  fi
done
exit $status
