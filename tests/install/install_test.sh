#!/usr/bin/env bash
# Installs the build into a fresh prefix and uses it as a user would: the
# files are where they belong, the desktop entry is valid, and the installed
# program, run by a user who cannot write its folder, sets up and uses its
# rules in that user's configuration folder.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/norvelle lib/norvelle/norvelle-dialogs.so share/applications/norvelle.desktop \
         share/icons/hicolor/48x48/apps/norvelle.png share/icons/hicolor/16x16/apps/norvelle.png \
         share/norvelle/qdx/tour.qdx share/doc/norvelle/LICENSE share/bash-completion/completions/norvelle \
         share/zsh/site-functions/_norvelle share/fish/vendor_completions.d/norvelle.fish \
         share/org.kde.syntax-highlighting/syntax/norvelle.xml share/vim/vimfiles/syntax/norvelle.vim; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
if [ -f "$source/docs/norvelle.1" ]; then
  [ -f "$prefix/share/man/man1/norvelle.1" ] || fail "man page not installed"
  if command -v man >/dev/null; then
    MANWIDTH=80 man -l "$prefix/share/man/man1/norvelle.1" >/dev/null 2>"$work/man.err" || fail "man -l: $(cat "$work/man.err")"
  fi
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/norvelle.desktop" || fail "desktop entry"
fi

# A user who cannot write the program's folder: root can write anywhere, so
# root runs it as nobody.
home=$work/home
mkdir -p "$home"
printf 'hello\n' >"$home/page.txt"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown -R 65534:65534 "$home"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
else
  chmod -R a-w "$prefix"
  trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fi
run() {
  env -i PATH=/usr/bin:/bin HOME="$home" ASAN_OPTIONS="${ASAN_OPTIONS:-}" \
    "${as_user[@]}" "$prefix/bin/norvelle" --batch "$home/page.txt" 2>"$work/err"
}
run || fail "first run exited $? ($(cat "$work/err"))"
grep -q "^norvelle: first run: created $home/.config/norvelle" "$work/err" || fail "no first-run note: $(cat "$work/err")"
config=$home/.config/norvelle
[ -f "$config/norvelle.ini" ] || fail "no default rule file"
for key in HeaderStr EndStr TabStop SrcColorNormal SplitKey JoinKey SrcLineOut '\[ReplaceList\]' '\[AutoReplaceList\]'; do
  grep -q "^$key" "$config/norvelle.ini" || fail "default rule file lacks $key"
done
[ -f "$config/qdx/tour.qdx" ] || fail "example rules not copied"
[ -f "$home/page.htm" ] || fail "no output"
# The shipped rules are found by name.
printf '|ini|tour\nhello\n' >"$home/tour-page.txt"
[ "$(id -u)" -ne 0 ] || chown 65534:65534 "$home/tour-page.txt"
env -i PATH=/usr/bin:/bin HOME="$home" ASAN_OPTIONS="${ASAN_OPTIONS:-}" \
  "${as_user[@]}" "$prefix/bin/norvelle" --batch "$home/tour-page.txt" 2>"$work/err" || fail "|ini|tour: $(cat "$work/err")"
grep -q "tour.qdx" "$home/tour-page.htm" || fail "the shipped tour rules were not used"

# The user's rules are the ones used, and the note is not repeated.
sed -i 's|^EndStr=.*|EndStr=<p>my footer</p>|' "$config/norvelle.ini"
run || fail "second run exited $?"
[ ! -s "$work/err" ] || fail "second run said: $(cat "$work/err")"
grep -q "<p>my footer</p>" "$home/page.htm" || fail "the user's rule file was not used"
[ ! -e "$prefix/bin/norvelle.ini" ] || fail "wrote beside the installed program"

# A prefix the user owns (~/.local): its bin/ is writable, and still the
# program is installed, so the rules are the user's own and the shipped
# ones are found.
own=$work/own
cmake --install "$build" --prefix "$own" >/dev/null
home2=$work/home2
mkdir -p "$home2"
printf '|ini|tour\nhello\n' >"$home2/tour-page.txt"
env -i PATH=/usr/bin:/bin HOME="$home2" ASAN_OPTIONS="${ASAN_OPTIONS:-}" \
  "$own/bin/norvelle" --batch "$home2/tour-page.txt" 2>"$work/err" || fail "user prefix: exited $? ($(cat "$work/err"))"
grep -q "^norvelle: first run: created $home2/.config/norvelle" "$work/err" || fail "user prefix: no first run: $(cat "$work/err")"
grep -q "tour.qdx" "$home2/tour-page.htm" || fail "user prefix: the shipped tour rules were not used"
[ ! -e "$own/bin/norvelle.ini" ] || fail "user prefix: wrote beside the installed program"
echo "install test passed"
