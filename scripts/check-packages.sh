#!/usr/bin/env bash
# Keeps scripts/install-deps.sh complete: every GStreamer element the project creates and every shared
# library the built programs load must come from a Debian package that install-deps.sh names, or from a
# package that one of those depends on. A package that is only on this machine by chance would make the
# tests pass here and the README's commands fail on a fresh Debian 12 machine.
#
# Usage: scripts/check-packages.sh [--deps FILE] [--build DIR]
#   --deps FILE   the install script to check (default scripts/install-deps.sh; the self-test passes a
#                 copy with a package removed)
#   --build DIR   the build folder whose bin/ programs are checked (default build)
# Exit 0 when complete, 1 with the packages to add, 2 when the check itself cannot run.
set -uo pipefail
cd "$(dirname "$0")/.."

deps=scripts/install-deps.sh
build=build
while [ $# -gt 0 ]; do
    case "$1" in
        --deps) deps=$2; shift 2 ;;
        --build) build=$2; shift 2 ;;
        *) echo "usage: scripts/check-packages.sh [--deps FILE] [--build DIR]" >&2; exit 2 ;;
    esac
done
for tool in dpkg-query dpkg apt-cache gst-inspect-1.0 ldd; do
    command -v "$tool" >/dev/null || { echo "check-packages: $tool is missing" >&2; exit 2; }
done
[ -f "$deps" ] || { echo "check-packages: no $deps" >&2; exit 2; }
[ -d "$build/bin" ] || { echo "check-packages: no $build/bin (build first)" >&2; exit 2; }

# The packages the install script names: the words of its PACKAGES=( ... ) list and of its "+=(...)" lines.
named=$(sed -n '/^PACKAGES=(/,/^)/p; /PACKAGES+=(/p' "$deps" | sed 's/#.*//; s/.*(//; s/).*//' |
    tr -s ' \t' '\n' | grep -E '^[a-z0-9][a-z0-9.+-]+$' | sort -u)
[ -n "$named" ] || { echo "check-packages: no packages found in $deps" >&2; exit 2; }

# What installing them brings: the packages and everything they depend on (not what they recommend).
brought=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances $named 2>/dev/null | grep -v '^ ' | sed 's/:.*//' | sort -u)
brought=$(printf '%s\n%s\n' "$named" "$brought" | sort -u)

# The Debian packages owning files, asked of dpkg in one call; merged /usr means dpkg may know a file
# under /lib or /usr/lib, so each file is asked under every name it has.
declare -A owners=()
variants() { local real; real=$(readlink -f "$1"); printf '%s\n' "$1" "$real" "${real#/usr}" "/usr$1" | sort -u; }
lookup_owners() {
    local line pkgs
    while IFS= read -r line; do
        pkgs=${line%%: *}
        owners[${line#*: }]=${pkgs%%,*}
    done < <(for f in "$@"; do variants "$f"; done | sort -u | xargs -r dpkg -S 2>/dev/null | grep -v '^diversion' | sed 's/:[a-z0-9]*: /: /')
}
owner() {
    local v
    for v in $(variants "$1"); do
        [ -n "${owners[$v]:-}" ] && { echo "${owners[$v]}"; return; }
    done
}

missing=()
need() { # need <package> <why>
    grep -qxF -- "$1" <<<"$brought" || missing+=("$1  ($2)")
}

# GStreamer elements: every quoted word in the sources that names an element this machine knows. The
# engine, the snapshot and the sample-card generator build their pipelines from such literals (factory
# names and gst_parse_launch descriptions alike).
words=$(grep -rhoE '"[^"]*"' core media ui programs bench tests --include=*.cpp --include=*.h |
    tr -c 'a-z0-9_\n' '\n' | grep -E '^[a-z][a-z0-9_]{2,}$' | sort -u)
elements=$(gst-inspect-1.0 2>/dev/null | awk 'NF >= 3 && $1 ~ /:$/ {sub(":", "", $2); print $2}' | sort -u)
used=$(comm -12 <(printf '%s\n' "$elements") <(printf '%s\n' "$words"))
declare -A element_file=()
for el in $used; do
    file=$(gst-inspect-1.0 "$el" 2>/dev/null | awk '/^  Filename/ {print $2; exit}')
    # elements built into the GStreamer core library itself (bin, pipeline) have no plugin file
    case "$file" in "" | "(null)") continue ;; esac
    element_file[$el]=$file
done
# Shared libraries of the built programs (each library looked up once).
declare -A loaders=()
for prog in "$build"/bin/*; do
    [ -f "$prog" ] && [ -x "$prog" ] && head -c 4 "$prog" | grep -q ELF || continue
    while read -r lib; do
        loaders[$lib]=$(basename "$prog")
    done < <(ldd "$prog" 2>/dev/null | awk '/=> \// {print $3}')
done
lookup_owners "${element_file[@]}" "${!loaders[@]}"
checked=0
for el in "${!element_file[@]}"; do
    pkg=$(owner "${element_file[$el]}")
    if [ -z "$pkg" ]; then
        missing+=("?  (element $el: ${element_file[$el]} belongs to no package)")
        continue
    fi
    need "$pkg" "GStreamer element $el"
    checked=$((checked + 1))
done
libs=0
for lib in "${!loaders[@]}"; do
    case "$lib" in "$PWD"/* | "$(readlink -f "$build")"/*) continue ;; esac # our own libraries
    pkg=$(owner "$lib")
    if [ -z "$pkg" ]; then
        missing+=("?  (${loaders[$lib]} loads $lib, which belongs to no package)")
        continue
    fi
    need "$pkg" "${loaders[$lib]} loads $(basename "$lib")"
    libs=$((libs + 1))
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "check-packages: $checked GStreamer elements and $libs library links come from packages $deps brings"
    exit 0
fi
echo "check-packages: $deps does not bring these packages; add them:"
printf '%s\n' "${missing[@]}" | sort -u | sed 's/^/  /'
exit 1
