# SPDX-License-Identifier: MIT
# Shared by the README's commands: installs what is missing from Debian's archive.
# Sourced, not run.

# Runs a command as root: directly when we are root, through sudo otherwise.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    else
        sudo "$@"
    fi
}

# Installs the named Debian packages that are not installed yet.
need_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        if [ "$(id -u)" -ne 0 ] && ! command -v sudo >/dev/null 2>&1; then
            cat >&2 <<MESSAGE
These Debian packages are missing: ${missing[*]}
They cannot be installed from here: you are not root and sudo is not installed.
Run $0 as root, or have root install them first:

    apt-get install --no-install-recommends ${missing[*]}

then run $0 again.
MESSAGE
            exit 1
        fi
        echo "Installing: ${missing[*]}"
        as_root apt-get -o DPkg::Lock::Timeout=600 update -q
        as_root env DEBIAN_FRONTEND=noninteractive \
            apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
    fi
}

# What every build needs.
BUILD_PACKAGES=(g++ cmake ninja-build qt6-base-dev pkgconf libgeographiclib-dev libgdal-dev
    libcsv-dev libcpp-httplib-dev zlib1g-dev nlohmann-json3-dev libjs-leaflet)

# The locales the tests read numbers in. Numbers come from the C library's locale
# data, and a fresh Debian has only C and C.UTF-8.
TEST_LOCALES=(fr_CA en_CA de_DE)

# Generates the tests' locales that `locale -a` lacks.
need_locales() {
    need_packages locales
    local available
    available="$(locale -a)"
    local name
    for name in "${TEST_LOCALES[@]}"; do
        if ! grep -qx "$name.utf8" <<<"$available"; then
            echo "Generating the locale $name.UTF-8"
            as_root localedef -i "$name" -c -f UTF-8 "$name.UTF-8"
        fi
    done
}

# What the window needs at run time: Liberation Sans stands in for the result
# label's MS Sans Serif; DejaVu Sans is the controls' proportional face, which
# fontconfig also takes for sans-serif (with Liberation alone it takes Liberation Mono).
WINDOW_PACKAGES=(fonts-liberation fonts-dejavu-core)

# What the Python module needs to build, and what its tests and the Dask example use.
PYTHON_PACKAGES=(python3-dev pybind11-dev python3-numpy python3-pandas python3-geopandas
    python3-shapely python3-pyproj python3-pytest python3-distributed python3-dask
    python3-pip python3-setuptools python3-venv)

# What the libFuzzer targets need: clang and its sanitizer runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# What the QGIS plugin's tests need: QGIS's Python bindings, which bring QGIS itself
# (about 900 MB).
QGIS_PACKAGES=(python3-qgis)

# What the PostGIS test needs: a PostgreSQL 15 server with PostGIS 3, which it starts
# on its own, and GDAL's Python bindings to read its outputs back.
POSTGIS_PACKAGES=(postgresql-15-postgis-3 python3-gdal)

# What the map page's browser test needs: headless Chromium driven by Selenium.
BROWSER_PACKAGES=(chromium chromium-driver python3-selenium)

# What the Windows cross-build needs: MinGW-w64 for 32-bit and 64-bit Windows with
# Debian's zlib for it, NSIS for the installers, and what building the libraries from
# Debian's source packages takes (scripts/windows_deps.sh): patch for Debian's own
# patches, tclsh to make SQLite's one-file source, sqlite3 to make PROJ's database.
WINDOWS_BUILD_PACKAGES=(cmake ninja-build pkgconf make patch xz-utils bzip2 tcl sqlite3 g++-mingw-w64-i686
    g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 libz-mingw-w64-dev nsis)

# What running the Windows programs needs: Wine on a virtual X display, xdotool to
# type and click as a user does, and ImageMagick to photograph it. Wine's own fonts
# draw its title bars. 64-bit Wine runs on every machine; 32-bit Wine only where the
# kernel runs 32-bit programs (need_wine32).
WINDOWS_TEST_PACKAGES=(wine wine64 fonts-wine xvfb xauth xdotool imagemagick file unzip)

# Whether this machine's kernel runs 32-bit x86 programs: some kernels are built
# without them, and 32-bit Wine cannot start there ("Exec format error"). Runs the
# smallest such program, which exits with 42.
kernel_runs_32bit() {
    local probe
    probe=$(mktemp)
    # An ELF header, one loadable segment, and mov eax,1; mov ebx,42; int 0x80.
    printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\0104\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\010\0\200\4\010\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0\270\1\0\0\0\273\52\0\0\0\315\200' >"$probe"
    chmod +x "$probe"
    local status=0
    "$probe" 2>/dev/null || status=$?
    rm -f "$probe"
    [ "$status" -eq 42 ]
}

# 32-bit Wine, where the kernel can run it: the i386 architecture once, then wine32.
# SHEETFIND_WINDOWS_ARCHES=x64 does without it, as such a kernel must.
need_wine32() {
    if [ "${SHEETFIND_WINDOWS_ARCHES:-}" == x64 ]; then
        echo "SHEETFIND_WINDOWS_ARCHES=x64: 32-bit Wine is not installed"
        return
    fi
    if ! kernel_runs_32bit; then
        echo "This kernel runs no 32-bit programs: 32-bit Wine is not installed"
        return
    fi
    need_i386
    need_packages wine32:i386
}

# Lets apt install 32-bit packages (32-bit Wine), once.
need_i386() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "Adding the i386 architecture for 32-bit Wine"
        as_root dpkg --add-architecture i386
        as_root apt-get -o DPkg::Lock::Timeout=600 update -q
    fi
}

# Downloads Debian's source package PACKAGE, the one this release of Debian
# builds, and unpacks it into the empty folder DIR with Debian's own patches
# applied, as its package build applies them. apt verifies every file against the
# release's signed index. The machine's apt configuration is left as it is: the
# deb-src twins of its sources go into a private list beside DIR. Prints the
# version taken.
fetch_debian_source() {
    local package=$1 dir=$2
    local apt="$dir.apt"
    rm -rf "$apt" "$dir"
    mkdir -p "$apt/parts" "$apt/lists/partial" "$dir"
    : >"$apt/empty.list"
    # The deb822 sources where there are any (Debian 12's own), else the one-line lists.
    # (The count goes up outside the redirection, which a child process would expand.)
    local file number=0
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        number=$((number + 1))
        sed -E 's/^Types:.*/Types: deb-src/' "$file" >"$apt/parts/$number.sources"
    done
    if [ "$number" -eq 0 ]; then
        for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
            [ -f "$file" ] || continue
            number=$((number + 1))
            sed -nE 's/^deb([[:space:]])/deb-src\1/p' "$file" >"$apt/parts/$number.list"
        done
    fi
    local options=(-o "Dir::Etc::SourceList=$apt/empty.list" -o "Dir::Etc::SourceParts=$apt/parts"
        -o "Dir::State::Lists=$apt/lists" -o "APT::Sandbox::User=root")
    apt-get "${options[@]}" -q update >/dev/null
    # The newest version, from the security archive where it has one; where a mirror
    # lacks that version's files (snapshots of the security archive have been seen to),
    # the release's own, which its point releases keep up to date.
    if ! (cd "$apt" && apt-get "${options[@]}" -q source --download-only "$package" >/dev/null 2>"$apt/error"); then
        local release
        release=$(. /etc/os-release && echo "$VERSION_CODENAME")
        echo "Debian's newest $package could not be downloaded ($(grep -m1 '^E:' "$apt/error")); taking the one of $release" >&2
        find "$apt" -maxdepth 1 -type f -name "${package}_*" -delete
        (cd "$apt" && apt-get "${options[@]}" -q source --download-only "$package/$release" >/dev/null)
    fi
    tar -xf "$apt/${package}"_*.orig.tar.* -C "$dir" --strip-components=1
    local debian
    debian=$(find "$apt" -maxdepth 1 -name "${package}_*.debian.tar.*" | head -1)
    if [ -n "$debian" ] && tar -xf "$debian" -C "$dir" debian/patches 2>/dev/null &&
        [ -f "$dir/debian/patches/series" ]; then
        local patch level
        while read -r patch level; do
            case $patch in '' | '#'*) continue ;; esac
            patch -d "$dir" -s -N "${level:--p1}" <"$dir/debian/patches/$patch"
        done <"$dir/debian/patches/series"
    fi
    basename "$(find "$apt" -maxdepth 1 -name "${package}_*.dsc" | head -1)" .dsc | cut -d_ -f2
}
