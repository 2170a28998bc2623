#!/usr/bin/env bash
# halvane installed as a user installs it (cmake --install into a temporary
# prefix), then checked with the desktop's and the shell's own tools: the
# desktop entry, the AppStream metadata, the versions, the manual pages, the
# file type of parameter files and the program that opens them (the
# double-click of a file manager, through xdg-open), and the bash completion.
# Runs under an X server (xvfb-run) for the double-click.
#
# usage: install_test.sh CMAKE BUILD_DIR VERSION
set -uo pipefail
cmake=$1 build=$2 version=$3

work=$(mktemp -d)
opened_pid=
cleanup() {
    [ -n "$opened_pid" ] && kill "$opened_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
# expect WHAT EXPECTED ACTUAL
expect() {
    [ "$2" = "$3" ] || fail "$1: expected '$2', got '$3'"
}

prefix=$work/prefix
share=$prefix/share
type=application/x-halvane-parameters
# Nothing of the user's own desktop settings takes part.
export HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_CONFIG_HOME=$work/home/config XDG_CACHE_HOME=$work/home/cache
export XDG_DATA_DIRS=$share:/usr/share PATH=$prefix/bin:$PATH LC_ALL=C.UTF-8
unset XDG_CURRENT_DESKTOP QT_QPA_PLATFORM MANPATH
mkdir -p "$HOME"

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || {
    cat "$work/install.log"
    fail "cmake --install"
    exit 1
}

# The desktop entry: valid without a hint, and it opens parameter files.
desktop=$share/applications/halvane.desktop
expect "desktop-file-validate" "" "$(desktop-file-validate "$desktop" 2>&1)"
grep -q "^MimeType=.*$type;" "$desktop" || fail "the desktop entry does not list $type"
grep -q '^Exec=halvane %f$' "$desktop" || fail "the desktop entry's Exec takes no file"

# AppStream: valid, and naming what is installed.
metainfo=$(ls "$share"/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 || {
    cat "$work/appstream.log"
    fail "appstreamcli validate"
}
for binary in $(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$metainfo"); do
    [ -x "$prefix/bin/$binary" ] || fail "AppStream names the binary $binary, which is not installed"
done
expect "AppStream binaries" "halvane halvane-render" "$(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$metainfo" | xargs)"
expect "AppStream desktop id" "halvane.desktop" "$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")"
expect "AppStream media type" "$type" "$(sed -n 's:.*<mediatype>\(.*\)</mediatype>.*:\1:p' "$metainfo")"

# Versions and help; help and version need no screen.
out=$(halvane-render --version)
expect "halvane-render --version" "0 halvane-render $version" "$? $out"
out=$(env -u DISPLAY halvane --version 2>/dev/null)
expect "halvane --version" "0 halvane $version" "$? $out"
env -u DISPLAY halvane --help 2>/dev/null | grep -q -- '--help-all' || fail "halvane --help lists no --help-all"
env -u DISPLAY halvane --help-all 2>/dev/null | grep -q -- '--platform' || fail "halvane --help-all lists no Qt option"
for bad in "one two" "--no-such-option"; do
    # shellcheck disable=SC2086
    QT_QPA_PLATFORM=offscreen halvane $bad >/dev/null 2>"$work/bad.log"
    expect "status of halvane $bad" 2 $?
    grep -q "halvane --help" "$work/bad.log" || fail "halvane $bad: no hint at --help"
done

# The manual pages: found where man looks for the installed programs, read
# without a warning, and listing every option of --help.
for program in halvane halvane-render; do
    expect "man -w $program" "$share/man/man1/$program.1" "$(man -w "$program" 2>&1)"
    MANWIDTH=80 man --warnings -l "$share/man/man1/$program.1" >"$work/$program.txt" 2>"$work/$program.warnings"
    expect "man -l $program" 0 $?
    [ -s "$work/$program.warnings" ] && fail "man -l $program: $(cat "$work/$program.warnings")"
    for section in SYNOPSIS OPTIONS "EXIT STATUS" "PARAMETER FILE" FILES EXAMPLES; do
        grep -q "^$section" "$work/$program.txt" || fail "$program(1) has no $section"
    done
done
# options PROGRAM HELP-OPTION: the long options its help lists, sorted.
options() {
    env -u DISPLAY "$1" "$2" 2>/dev/null | grep -oE '^ +(-[a-z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+' | sort
}
render_options=$(options halvane-render --help)
[ "$(echo "$render_options" | wc -l)" -gt 20 ] || fail "halvane-render --help lists too few options"
[ "$(options halvane --help-all | wc -l)" -gt 5 ] || fail "halvane --help-all lists too few options"
for program in halvane halvane-render; do
    help_option=--help
    [ "$program" = halvane ] && help_option=--help-all
    for option in $(options "$program" "$help_option"); do
        grep -qe "^ *\(-[a-z], \)\?$option\b" "$work/$program.txt" || fail "$program(1) lacks $option"
    done
done

# The file type: a parameter file is known by its name and by its first
# line, whether the desktop asks GIO (GNOME) or File::MimeInfo (others), and
# halvane opens it.
files=$work/files
mkdir -p "$files/folder"
halvane-render --size 32x24 --formula 7 --quiet --output "$files/picture.png" --write-params "$files/seven.vtx" ||
    fail "halvane-render"
cp "$files/seven.vtx" "$files/settings"
printf 'a note\n' >"$files/notes.txt"
touch "$files/picture.bmp"
update-mime-database "$share/mime" || fail "update-mime-database"
[ -f "$share/icons/hicolor/scalable/mimetypes/$(sed -n 's:.*<icon name="\(.*\)"/>.*:\1:p' "$share/mime/packages/halvane.xml").svg" ] ||
    fail "the file type's icon is not installed"
for desktop_name in GNOME ""; do
    export XDG_CURRENT_DESKTOP=$desktop_name
    expect "filetype of a .vtx ($desktop_name)" "$type" "$(xdg-mime query filetype "$files/seven.vtx")"
    expect "filetype by the first line ($desktop_name)" "$type" "$(xdg-mime query filetype "$files/settings")"
    expect "filetype of a note ($desktop_name)" "text/plain" "$(xdg-mime query filetype "$files/notes.txt")"
    expect "default for $type ($desktop_name)" "halvane.desktop" "$(xdg-mime query default "$type")"
done

# The double-click: xdg-open on a GNOME desktop does what its file manager
# does (gio open). halvane shows the file's picture, the path in its caption.
export XDG_CURRENT_DESKTOP=GNOME
if [ -z "${DISPLAY:-}" ]; then
    fail "no X server for the double-click (run under xvfb-run)"
else
    xdg-open "$files/seven.vtx" >"$work/open.log" 2>&1 || fail "xdg-open: $(cat "$work/open.log")"
    window=
    for _ in $(seq 1 240); do
        window=$(xdotool search --name "^$files/seven.vtx\$" 2>/dev/null | head -1)
        [ -n "$window" ] && break
        sleep 0.25
    done
    if [ -z "$window" ]; then
        fail "xdg-open: no halvane window with the file in its caption"
    else
        opened_pid=$(xdotool getwindowpid "$window")
        expect "the program opened" "halvane $files/seven.vtx" "$(ps -o args= -p "$opened_pid")"
    fi
fi

# The bash completion: found by bash-completion in the installed folder,
# offering the options of --help, the ranges, the image option names and
# the files each file option takes.
completions=$(cd "$files" && bash --norc --noprofile -s <<'SCRIPT' 2>&1
source /usr/share/bash-completion/bash_completion
__load_completion halvane-render || echo "halvane-render: no completion found"
complete -p halvane-render
# offer WORD...: what the completion offers for the last word, sorted.
offer() {
    COMP_WORDS=(halvane-render "$@")
    COMP_CWORD=$#
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _halvane_render halvane-render "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}" 2>/dev/null
    echo "$*: $(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)"
}
offer --formula ''
offer --rotation ''
offer --option JpegQ
offer --params ''
offer -o ''
offer --write-params ''
offer --size ''
offer --
SCRIPT
)
expected="complete -F _halvane_render halvane-render
--formula : 0 1 2 3 4 5 6 7
--rotation : 0 1 2 3
--option JpegQ: JpegQuality=
--params : folder picture.png seven.vtx
-o : folder picture.bmp picture.png
--write-params : folder seven.vtx
--size : 
--: $(echo "$render_options" | xargs)"
expect "bash completion" "$expected" "$completions"

echo "$failures failed"
[ "$failures" -eq 0 ]
