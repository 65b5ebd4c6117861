# The Windows-only sources (*_win.cpp), which no build here compiles, checked for syntax with
# mingw-w64 against the installed Qt headers. Those are Linux's, and work as they are: Qt takes
# the platform from the compiler's own macros (_WIN32), and the Windows API comes from mingw.
# Source it after common.sh.

WINDOWS_CXX=x86_64-w64-mingw32-g++-posix

# check_windows_sources BUILD_FOLDER: compiles every src/**/*_win.cpp with the flags BUILD_FOLDER
# gives its Linux twin (*_unix.cpp); fails, after the compiler's messages, if any does not compile.
check_windows_sources() {
    local folder=$1 source twin text failed=()
    local flags=()
    command -v "$WINDOWS_CXX" >/dev/null \
        || die "$WINDOWS_CXX is missing: install the Debian package g++-mingw-w64-x86-64-posix"
    while read -r source; do
        twin=${source%_win.cpp}_unix.cpp
        if ! text=$("$ROOT/scripts/lib/compile_flags.py" "$folder/compile_commands.json" "$twin"); then
            failed+=("$source (no compile command for its twin)")
            continue
        fi
        mapfile -t flags <<<"$text"
        "$WINDOWS_CXX" -fsyntax-only "${flags[@]}" "$source" || failed+=("$source")
    done < <(find "$ROOT/src" -name '*_win.cpp' | sort)
    [ "${#failed[@]}" -eq 0 ] && return 0
    printf 'Windows sources that do not compile:\n' >&2
    printf '    %s\n' "${failed[@]}" >&2
    return 1
}
