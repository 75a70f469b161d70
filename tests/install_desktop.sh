#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what the desktop reads there with the
# desktop's own tools: the desktop entry, the AppStream description, the file types (a KEY
# file is a KEY animation whose default program is Vorlin, a PGP key stays a PGP key), the
# manual pages (every command and option of the programs, no warnings) and the completion.
# Usage: install_desktop.sh BUILD_DIR PREFIX SAMPLE_DIR
set -euo pipefail
build=$1 prefix=$2 sample=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
export LC_ALL=C.UTF-8 # a locale that exists, whatever the caller's (man warns of a missing one)

rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
share=$prefix/share
trap 'rm -rf "$prefix"' EXIT

desktop-file-validate "$share/applications/vorlin.desktop" || fail "desktop-file-validate"
metainfo=$share/metainfo/org.brennick.vorlin.metainfo.xml
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli: $out"
grep -qE '^[EW]:' <<<"$out" && fail "appstreamcli: $out"

# The file types, with the prefix first and the system's types after it.
export XDG_DATA_HOME=$prefix/home XDG_CONFIG_HOME=$prefix/config
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$prefix/files"
cp "$sample/3do/key/walk.key" "$sample/3do/sample.3do" "$prefix/files/"
printf -- '-----BEGIN PGP PUBLIC KEY BLOCK-----\n\nmQENBF\n-----END PGP PUBLIC KEY BLOCK-----\n' \
    >"$prefix/files/friend.key"
query() { xdg-mime query filetype "$prefix/files/$1"; }
pgp=$(XDG_DATA_DIRS=/usr/share query friend.key) # what the system calls it without Vorlin
export XDG_DATA_DIRS="$share:/usr/share"
update-mime-database "$share/mime"
update-desktop-database "$share/applications"
[ "$(query walk.key)" = application/x-jk-key ] || fail "walk.key is $(query walk.key)"
[ "$(query sample.3do)" = model/x-jk-3do ] || fail "sample.3do is $(query sample.3do)"
[ "$(query friend.key)" = "$pgp" ] || fail "a PGP key became $(query friend.key), not $pgp"
for type in application/x-jk-key model/x-jk-3do; do
    [ "$(xdg-mime query default $type)" = vorlin.desktop ] ||
        fail "the default for $type is '$(xdg-mime query default $type)'"
done

# Manual pages: no warnings, and every command and option the programs know.
for page in vorlin vorlin-cli; do
    file=$share/man/man1/$page.1.gz
    [ -f "$file" ] || fail "no $page(1)"
    warnings=$(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page(1): $warnings"
done
text() { MANWIDTH=200 man -l "$share/man/man1/$1.1.gz" 2>/dev/null | col -b; }
usage=$("$prefix/bin/vorlin-cli" --help)
completion=$share/bash-completion/completions/vorlin-cli
for word in $(grep -oE '^  [a-z]+( [a-z]+)?' <<<"$usage" | sed 's/^  //' | tr ' ' '_') \
    $(grep -oE -- '--[a-z]+' <<<"$usage" | sort -u); do
    word=${word//_/ }
    grep -qF -- "$word" <<<"$(text vorlin-cli)" || fail "vorlin-cli(1) lacks '$word'"
    for part in $word; do
        grep -qF -- "$part" "$completion" || fail "the completion lacks '$part'"
    done
done
help=$(QT_QPA_PLATFORM=offscreen "$prefix/bin/vorlin" --help)
for option in $(grep -oE -- '--[a-z]+' <<<"$help" | sort -u); do
    grep -qF -- "$option" <<<"$(text vorlin)" || fail "vorlin(1) lacks '$option'"
done

# The completion, as bash runs it: commands, then a command's options.
complete_line() {
    bash -c 'source /usr/share/bash-completion/bash_completion
             source "$0"
             COMP_WORDS=($1); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
             COMP_LINE="$1"; COMP_POINT=${#COMP_LINE}
             _vorlin_cli vorlin-cli; echo "${COMPREPLY[*]}"' "$completion" "$1"
}
[ "$(complete_line 'vorlin-cli key cu')" = curves ] || fail "key cu: $(complete_line 'vorlin-cli key cu')"
[ "$(complete_line 'vorlin-cli key curves walk.key --i')" = --index ] ||
    fail "key curves --i: $(complete_line 'vorlin-cli key curves walk.key --i')"
[ "$(complete_line 'vorlin-cli --')" = "--help --version" ] ||
    fail "--: $(complete_line 'vorlin-cli --')"
[ "$(complete_line 'vorlin-cli render m.3do --he')" = --help ] ||
    fail "render --he: $(complete_line 'vorlin-cli render m.3do --he')"
echo "install_desktop: all checks passed"
