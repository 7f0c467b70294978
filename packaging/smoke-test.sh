#!/usr/bin/env bash
# The package as a user gets it: builds the .deb from the build tree (CPack), unpacks it into a
# scratch root with dpkg -x, checks its contents and metadata, and runs the installed velmora-cli:
# --version, drivers, and a command that must put its files into the user's XDG folders (the
# installed program folder is not the user's). Skips (exit 77) without dpkg-deb.
# Usage: smoke-test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
if ! command -v dpkg-deb >/dev/null 2>&1; then
  echo "SKIPPED: dpkg-deb is not installed; the Debian package cannot be built or unpacked here"
  exit 77
fi
scratch=$(mktemp -d /tmp/velmora-package-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

cpack -G DEB -B "$scratch/out" --config "$build/CPackConfig.cmake" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack could not build the package"; }
deb=$(ls "$scratch"/out/*.deb)
echo "package: $(basename "$deb")"

info=$(dpkg-deb --field "$deb" Package Version Depends Recommends)
echo "$info"
grep -q "^Version: $version$" <<<"$info" || fail "the package version is not $version"
for wanted in odbc-mariadb libodbc2 libqt6widgets6; do
  grep -q "^Depends:.*$wanted" <<<"$info" || fail "Depends lacks $wanted"
done
grep -q "^Recommends: tdsodbc" <<<"$info" || fail "tdsodbc is not recommended"

root="$scratch/root"
dpkg -x "$deb" "$root"
for file in usr/bin/velmora usr/bin/velmora-cli usr/share/doc/velmora/manual.html \
            usr/share/man/man1/velmora.1.gz usr/share/man/man1/velmora-cli.1.gz \
            usr/share/applications/velmora.desktop usr/share/icons/hicolor/scalable/apps/velmora.svg \
            usr/share/bash-completion/completions/velmora-cli; do
  [ -f "$root/$file" ] || fail "$file is missing from the package"
done
zcat "$root/usr/share/man/man1/velmora-cli.1.gz" | grep -qF -- '\-\-target\-encrypt' ||
  fail "the man page of velmora-cli lacks --target-encrypt"
# Every file a man page cites is in the package.
for page in velmora velmora-cli; do
  for cited in $(zcat "$root/usr/share/man/man1/$page.1.gz" | sed 's/\\-/-/g' |
                 grep -o '/usr/share/[A-Za-z0-9_./-]*[A-Za-z0-9_]'); do
    [ -e "$root$cited" ] || fail "the man page of $page cites $cited, which the package lacks"
  done
done
bash -n "$root/usr/share/bash-completion/completions/velmora-cli" || fail "the completion does not parse"

# Run as a user of the installed program: a home of its own, no VELMORA_HOME.
home="$scratch/home"
mkdir -p "$home"
run() { env -u VELMORA_HOME -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$home" "$root/usr/bin/velmora-cli" "$@"; }
[ "$(run --version)" = "velmora-cli $version" ] || fail "--version says '$(run --version)'"
[ "$(run -V)" = "velmora-cli $version" ] || fail "-V says '$(run -V)'"
drivers=$(run drivers) || fail "velmora-cli drivers failed"
grep -q . <<<"$drivers" || fail "velmora-cli drivers printed nothing"
echo "$drivers"
run condition show shop orders >/dev/null || fail "velmora-cli condition show failed"
[ -f "$home/.config/velmora/Condition.cfg" ] || fail "Condition.cfg is not in ~/.config/velmora"
if [ -n "$(ls "$root/usr/bin" | grep -v '^velmora')" ]; then
  fail "the program wrote into its installed folder: $(ls "$root/usr/bin")"
fi
# The completion offers the options from the program's own table.
completion=$(bash -c "source '$root/usr/share/bash-completion/completions/velmora-cli'
  COMP_WORDS=(velmora-cli migrate --target-en); COMP_CWORD=2; _velmora_cli; echo \"\${COMPREPLY[*]}\"")
[ "$completion" = "--target-encrypt" ] || fail "completing --target-en gave '$completion'"
echo "package smoke test passed"
