# The layer under every Windows program this project runs: the display, the
# Wine prefixes and their environment, the loader of each architecture and
# the binfmt entry that sends 32-bit programs to qemu. Sourced (never run) by
# ./run, which prepares them, and by tests/win/wine-run, which ctest calls to
# run one program in them. Each variable is set here once; nothing in this
# file runs anything when it is sourced.

# The checkout, and the folder of the builds and the prefixes:
# CANVAS_BUILD_ROOT, or build/ in the checkout.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${CANVAS_BUILD_ROOT:-$ROOT/build}
# qemu-i386 unpacked by ./run, once per machine (see ensure_qemu there).
TOOLS=${XDG_CACHE_HOME:-$HOME/.cache}/canvas-nbp-tools
QEMU=$TOOLS/qemu-i386
WINESERVER=/usr/lib/wine/wineserver
# The root-side effects go through sudo unless this already is root.
SUDO=
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi

log() { printf '== %s\n' "$*" >&2; }

# The prefix each architecture's programs run in. ./run exports the one it
# prepared for this run (the test prefix, or for `./run host` on the user's
# display the "desktop" one); run by hand, wine-run falls back to the test
# prefixes an earlier ./run made under the build folder.
: "${CANVAS_WINEPREFIX_WIN64:=$BUILD/wineprefix-win64}"
: "${CANVAS_WINEPREFIX_WIN32:=$BUILD/wineprefix-win32}"
# Set (to 1) by ./run once it has started a server that stays up for the
# prefixes of this run: a program's exit code is then final when its loader
# returns (see wine-run).
: "${CANVAS_WINESERVER_PERSISTENT:=}"

# wine_use ARCH PREFIX: exports the environment every Wine program of ours
# runs with, and sets WINE to ARCH's loader. No debug channels (a test's
# output is its own); no Mono or Gecko installer; a crash ends the program
# instead of waiting on winedbg's dialog, which nobody can close on Xvfb.
wine_use() {
    case $1 in
    win64) WINE=/usr/lib/wine/wine64 && unset WINEARCH ;;
    win32) WINE=/usr/lib/wine/wine && export WINEARCH=win32 ;;
    *)
        echo "unknown Windows architecture $1 (win64 or win32)" >&2
        return 2
        ;;
    esac
    export WINEPREFIX=$2
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
}

#--- The display ---------------------------------------------------------------

XVFB_PID=
# Programs show their windows on $DISPLAY. Without one, or with
# CANVAS_PRIVATE_DISPLAY=1 (the benchmarks want a screen of their own size),
# a private Xvfb is started on the first free display from
# CANVAS_DISPLAY_BASE (default :90) up, CANVAS_SCREEN (default 1600x1200x24)
# large, and ended with this run.
ensure_display() {
    if [ -n "${DISPLAY:-}" ] && [ -z "${CANVAS_PRIVATE_DISPLAY:-}" ]; then return; fi
    local n=${CANVAS_DISPLAY_BASE:-90}
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 "${CANVAS_SCREEN:-1600x1200x24}" -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=:$n
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && return
        sleep 0.1
    done
    echo "Xvfb did not start on :$n" >&2
    exit 1
}

#--- Wine prefixes -------------------------------------------------------------

# Windows face names that scripts and the font dialog use, served in every
# prefix by the installed faces that stand in for them (Wine's font
# replacements; Wine does not look in fonts-wine's folder, so its own
# faces are not seen): the metric-compatible Liberation faces, and otherwise
# the closest in design. Verdana and DejaVu Sans are wide humanist faces with
# a tall x-height. Tahoma, Segoe UI and MS Sans Serif are the dialog faces:
# Liberation Sans keeps them readable at 8 points, where DejaVu Sans
# Condensed draws "$" much like "S". Wine's dialog face (MS Shell Dlg) is
# Tahoma, so the system's own dialogs show Tahoma's stand-in too.
FONT_REPLACEMENTS=(
    "Arial=Liberation Sans"
    "Times New Roman=Liberation Serif"
    "Courier New=Liberation Mono"
    "Verdana=DejaVu Sans"
    "Tahoma=Liberation Sans"
    "Segoe UI=Liberation Sans"
    "MS Sans Serif=Liberation Sans"
)

prefix_dir() { # arch [desktop]
    echo "$BUILD/wineprefix-$1${2:+-$2}"
}

# Makes a prefix once (a marker says it is complete). Window management off:
# without a window manager Wine waits about 2 s on every managed top-level
# window it destroys. The "desktop" prefix of `./run host` on the user's own
# display keeps it on, so that the desktop's window manager can move, raise
# and close the host.
create_prefix() { # arch prefix [desktop]
    local arch=$1 prefix=$2 desktop=${3:-}
    [ -f "$prefix/.canvas-ready" ] && return
    log "creating the $arch${desktop:+ $desktop} Wine prefix"
    rm -rf "$prefix"
    # Wine makes the prefix's folder but not the folders above it, and a
    # prefix made during the first build comes before the build folder.
    mkdir -p "$(dirname "$prefix")"
    (
        wine_use "$arch" "$prefix"
        "$WINE" wineboot -i >/dev/null 2>&1 || true
        "$WINESERVER" -w
        if [ -z "$desktop" ]; then
            "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
            "$WINESERVER" -w
        fi
    )
    touch "$prefix/.canvas-ready"
}

# Registers FONT_REPLACEMENTS in a prefix, new or made before the table was
# (or last changed): the table as applied is kept beside it.
register_font_replacements() { # arch prefix
    local arch=$1 prefix=$2 marker=$2/.canvas-fonts want r
    want=$(printf '%s\n' "${FONT_REPLACEMENTS[@]}")
    if [ -f "$marker" ] && [ "$(cat "$marker")" = "$want" ]; then return; fi
    log "registering the Windows face names in the $arch Wine prefix"
    local reg=$prefix/canvas-fonts.reg
    {
        printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
        for r in "${FONT_REPLACEMENTS[@]}"; do
            printf '"%s"="%s"\r\n' "${r%%=*}" "${r#*=}"
        done
    } >"$reg"
    (
        wine_use "$arch" "$prefix"
        # Wine reads an absolute Unix path as a path on drive Z:.
        "$WINE" regedit /S "Z:${reg//\//\\}" >/dev/null 2>&1
        # The server writes the registry out when it ends.
        "$WINESERVER" -w
    )
    rm -f "$reg"
    printf '%s\n' "$want" >"$marker"
}

# Wine does not find the symbol font of its title-bar buttons in Debian's
# font folder; from the prefix's own Fonts folder it does.
install_title_font() { # prefix
    local fonts=$1/drive_c/windows/Fonts
    if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ ! -f "$fonts/marlett.ttf" ]; then
        mkdir -p "$fonts" && cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    fi
}

# A prefix made complete. Each prefix is made once, before the programs
# that use it start: parallel tests racing to create one break it.
prepare_prefix() { # arch [desktop]
    local prefix
    prefix=$(prefix_dir "$@")
    create_prefix "$1" "$prefix" "${2:-}"
    register_font_replacements "$1" "$prefix"
    install_title_font "$prefix"
}

# Makes this run's programs of ARCH use the prepared prefix, through one
# wineserver and one set of Wine's service processes for the whole run,
# started here with their output away from ctest: a server started by a test
# hands them the test's output pipe, and ctest then waits for them; two tests
# starting a fresh server at once can also boot it twice.
use_prefix() { # arch [desktop]
    local prefix
    prefix=$(prefix_dir "$@")
    if [ "$1" = win32 ]; then
        export CANVAS_WINEPREFIX_WIN32=$prefix
    else
        export CANVAS_WINEPREFIX_WIN64=$prefix
    fi
    PREFIXES_IN_USE+=("$prefix")
    WINEPREFIX=$prefix "$WINESERVER" -p
    (
        wine_use "$1" "$prefix"
        "$WINE" cmd /c exit >/dev/null 2>&1 </dev/null || true
    )
    export CANVAS_WINESERVER_PERSISTENT=1
}
PREFIXES_IN_USE=()

# The prefix is made in the background while the build runs, and waited for
# before its first program: prefix_start, then prefix_ready with the same
# arguments. The 64-bit prefix must not be made while a 32-bit binfmt entry
# is registered: its set-up would send Wine's 32-bit helpers through qemu.
PREFIX_JOB=
PREFIX_JOB_DIR=
prefix_start() { # arch [desktop]
    PREFIX_JOB_DIR=$(prefix_dir "$@")
    prepare_prefix "$@" &
    PREFIX_JOB=$!
}

prefix_ready() { # arch [desktop]
    if [ -n "$PREFIX_JOB" ]; then
        local job=$PREFIX_JOB
        PREFIX_JOB=
        wait "$job" || {
            echo "making the Wine prefix $PREFIX_JOB_DIR failed" >&2
            exit 1
        }
    else
        prepare_prefix "$@"
    fi
    use_prefix "$@"
}

#--- binfmt: 32-bit programs through qemu --------------------------------------

BINFMT=
BINFMT_DIR=/proc/sys/fs/binfmt_misc
# Sends i386 ELF programs (the 32-bit Wine) to the unpacked qemu, for this
# run only: an entry named after this process, removed when it ends.
binfmt_on() {
    if [ ! -e "$BINFMT_DIR/register" ]; then
        log "mounting binfmt_misc on $BINFMT_DIR (as root)"
        $SUDO mount -t binfmt_misc binfmt_misc "$BINFMT_DIR"
    fi
    BINFMT=canvas-i386-$$
    log "registering binfmt entry $BINFMT: i386 programs run through $QEMU (as root)"
    # :name:M(agic)::magic:mask:interpreter:F(ix the interpreter at once).
    # A file matches when its first 20 bytes, masked, equal the magic: the
    # ELF signature; class 1 (32-bit); data 1 (little-endian; mask fe);
    # version 1 (mask fe); any OS ABI (mask 00); ABI version and padding 0;
    # e_type 2 (executable; mask fe: or 3, shared object and PIE); e_machine
    # 3 (Intel 386).
    printf '%s' ":$BINFMT:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$QEMU:F" |
        $SUDO tee "$BINFMT_DIR/register" >/dev/null
}

binfmt_off() {
    if [ -n "$BINFMT" ] && [ -e "$BINFMT_DIR/$BINFMT" ]; then
        log "removing binfmt entry $BINFMT (as root)"
        echo -1 | $SUDO tee "$BINFMT_DIR/$BINFMT" >/dev/null || true
    fi
    BINFMT=
}

# Undoes what this run set up, whatever the way it ends: the binfmt entry,
# a prefix still being made, the servers of the prefixes used, the display.
layer_cleanup() {
    binfmt_off
    if [ -n "$PREFIX_JOB" ]; then
        kill "$PREFIX_JOB" 2>/dev/null || true
        PREFIXES_IN_USE+=("$PREFIX_JOB_DIR")
    fi
    for p in "${PREFIXES_IN_USE[@]}"; do
        [ -d "$p" ] && WINEPREFIX=$p "$WINESERVER" -k 2>/dev/null || true
    done
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
}
