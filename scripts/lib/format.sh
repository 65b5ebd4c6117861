# The project's C++ files as .clang-format lays them out. Source it after common.sh.

FORMATTED_FOLDERS=(src tests tools bench fuzz)

# cxx_files: every C++ source and header of the project, relative to ROOT, one a line.
cxx_files() {
    (cd "$ROOT" && find "${FORMATTED_FOLDERS[@]}" -name node_modules -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print) \
        | sort
}

require_clang_format() {
    command -v clang-format >/dev/null || die "clang-format is missing: install the Debian package clang-format"
}

format_files() {
    require_clang_format
    cxx_files | (cd "$ROOT" && xargs clang-format -i) || die "clang-format failed"
}

# check_format: lists the files clang-format would change, and fails when there are any.
check_format() {
    require_clang_format
    local output status unformatted
    output=$(cd "$ROOT" && cxx_files | xargs clang-format --dry-run --Werror 2>&1)
    status=$?
    [ "$status" -eq 0 ] && return 0
    unformatted=$(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/    \1/p' <<<"$output" | sort -u)
    if [ -z "$unformatted" ]; then
        printf '%s\n' "$output" >&2
        die "clang-format failed"
    fi
    printf 'Not formatted (scripts/format, or cmake --build build --target format):\n%s\n' "$unformatted" >&2
    return 1
}
