# Installs the Debian packages a step needs, only those still missing, and
# fetches Debian's source packages for the Windows builds. Sourced by
# tools/test, tools/demo, tools/screenshots, tools/qt-mingw,
# tools/xlsxwriter-mingw and tools/qrencode-mingw.

# zlib1g-dev: libxlsxwriter's pkg-config file names -lz, which libxlsxwriter-dev
# does not bring.
# libmosquitto-dev, nlohmann-json3-dev: the class link (MQTT and its JSON).
# libqrencode-dev: the class's QR code in the teacher's window.
VANTREL_PKGS_BUILD="cmake ninja-build g++ pkg-config libeigen3-dev libxlsxwriter-dev zlib1g-dev libmosquitto-dev nlohmann-json3-dev libqrencode-dev"
# fp-compiler: Free Pascal, the reference the interpreter's units are compared
# with in a test (never linked).
# mosquitto, mosquitto-clients: the class tests start a broker of their own
# and read it as any reader of the class's topics would.
VANTREL_PKGS_TEST="mosquitto mosquitto-clients libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev liblua5.4-dev python3-openpyxl poppler-utils fp-compiler"
VANTREL_PKGS_GUI="qt6-base-dev qt6-base-dev-tools libqcustomplot-dev libqcustomplot2.1-qt6 libgl1-mesa-dri fonts-dejavu qt6-translations-l10n"
VANTREL_PKGS_PACKAGE="dpkg-dev file"
VANTREL_PKGS_X="xvfb xauth"
# The class page's browser test: a broker and its clients, Node.js and npm
# (for puppeteer-core; tools/test leaves out those a Node.js already there
# brings), the page's font for the screenshots, and Debian's headless
# Chromium, the first of VANTREL_PKGS_CHROMIUM that the release has.
VANTREL_PKGS_BROWSER="mosquitto mosquitto-clients nodejs npm fonts-dejavu-core"
VANTREL_PKGS_CHROMIUM="chromium-headless-shell chromium"
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

# Fetches Debian's source packages, each given as NAME=VERSION, into DIR and
# unpacks them there: vantrel_apt_source DIR NAME=VERSION... They come from
# the same mirrors and suites as the machine's binary packages, through an
# apt state of our own in DIR/apt (removed afterwards): the system's sources
# and lists stay untouched.
vantrel_apt_source() {
    local dir=$1
    shift
    local apt_dir="$dir/apt"
    mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/archives/partial" ||
        return 1
    : >"$apt_dir/sources.list"
    apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' 'Identifier: Packages' |
        sort -u | while read -r uri suite component; do
            echo "deb-src $uri $suite $component"
        done >"$apt_dir/sources.list.d/vantrel-src.list"
    if [ ! -s "$apt_dir/sources.list.d/vantrel-src.list" ]; then
        echo "${0##*/}: no Debian mirror configured" >&2
        return 1
    fi
    local apt_opts=(-o Dir::Etc::sourcelist="$apt_dir/sources.list"
                    -o Dir::Etc::sourceparts="$apt_dir/sources.list.d"
                    -o Dir::State::Lists="$apt_dir/lists"
                    -o Dir::Cache::archives="$apt_dir/archives"
                    -o APT::Sandbox::User=root)
    apt-get "${apt_opts[@]}" -qq update >&2 || return 1
    (cd "$dir" && apt-get "${apt_opts[@]}" -qq source --download-only "$@" >&2) || return 1
    (cd "$dir" && for dsc in *.dsc; do dpkg-source --no-check -x "$dsc" >/dev/null || exit 1; done) ||
        return 1
    rm -rf "$apt_dir"
}
