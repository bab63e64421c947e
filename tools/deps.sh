# Installs the Debian packages a step needs, only those still missing.
# Sourced by tools/test, tools/demo and tools/screenshots.

# zlib1g-dev: libxlsxwriter's pkg-config file names -lz, which libxlsxwriter-dev
# does not bring.
VANTREL_PKGS_BUILD="cmake ninja-build g++ pkg-config libeigen3-dev libxlsxwriter-dev zlib1g-dev"
VANTREL_PKGS_TEST="libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev liblua5.4-dev python3-openpyxl poppler-utils"
VANTREL_PKGS_GUI="qt6-base-dev qt6-base-dev-tools libqcustomplot-dev libqcustomplot2.1-qt6 libgl1-mesa-dri fonts-dejavu qt6-translations-l10n"
VANTREL_PKGS_PACKAGE="dpkg-dev file"
VANTREL_PKGS_X="xvfb xauth"
VANTREL_PKGS_WINDOWS="g++-mingw-w64-x86-64 wine64 googletest nsis dpkg-dev libz-mingw-w64-dev"

vantrel_install() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed"; then
            missing+=("$pkg")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

