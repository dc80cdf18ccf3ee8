# Sourced: what this host can run. Probed once per script run (the answer is
# exported, so child scripts reuse it); TOCKLET_NO_32BIT=1 forces the answer
# "no" so the 64-bit-only path can be tried on any machine.
# TOCKLET_HOST_32BIT: yes, no, or unknown where no folder lets a program run.
# TOCKLET_PROBE_DIRS: the folders the probe may run from, colon-separated
# (default: the build folder, else the checkout, then $TMPDIR or /tmp).

# A complete i386 ELF program of 96 bytes: exit(42). Some kernels refuse every
# i386 executable (IA-32 emulation off); asking the kernel is the only sure way.
tocklet_write_i386_probe() {
    printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$1"
    # e_type EXEC, e_machine 386, e_version, e_entry, e_phoff, e_shoff, e_flags,
    # e_ehsize, e_phentsize, e_phnum, e_shentsize, e_shnum, e_shstrndx
    printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$1"
    printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000' >>"$1"
    printf '\000\000\000\000' >>"$1"
    # One PT_LOAD segment mapping the whole file, readable and executable.
    printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010' >>"$1"
    printf '\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000' >>"$1"
    # mov eax, 1; mov ebx, 42; int 0x80
    printf '\270\001\000\000\000\273\052\000\000\000\315\200' >>"$1"
    chmod +x "$1"
}

# The control: a complete x86-64 ELF program of 132 bytes, exit(42). Where it
# fails too, the folder lets no program run (mounted noexec), whatever the
# kernel would do with an i386 one: both give 126.
tocklet_write_x86_64_control() {
    printf '\177ELF\002\001\001\000\000\000\000\000\000\000\000\000' >"$1"
    # e_type EXEC, e_machine x86-64, e_version, e_entry, e_phoff, e_shoff,
    # e_flags, e_ehsize, e_phentsize, e_phnum, e_shentsize, e_shnum, e_shstrndx
    printf '\002\000\076\000\001\000\000\000\170\000\100\000\000\000\000\000' >>"$1"
    printf '\100\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000' >>"$1"
    printf '\000\000\000\000\100\000\070\000\001\000\000\000\000\000\000\000' >>"$1"
    # One PT_LOAD segment mapping the whole file, readable and executable.
    printf '\001\000\000\000\005\000\000\000\000\000\000\000\000\000\000\000' >>"$1"
    printf '\000\000\100\000\000\000\000\000\000\000\100\000\000\000\000\000' >>"$1"
    printf '\204\000\000\000\000\000\000\000\204\000\000\000\000\000\000\000' >>"$1"
    printf '\000\020\000\000\000\000\000\000' >>"$1"
    # mov eax, 60; mov edi, 42; syscall
    printf '\270\074\000\000\000\277\052\000\000\000\017\005' >>"$1"
    chmod +x "$1"
}

# Runs the probe and the control from DIR: 0 when both run (i386 programs
# run here), 1 when only the control runs (the kernel refuses i386), 2 when
# neither can run from DIR.
tocklet_probe_in() { # tocklet_probe_in DIR
    local probe control rc=0 answer=2
    probe=$(mktemp "$1/.tocklet-probe.XXXXXX" 2>/dev/null) || return 2
    control=$(mktemp "$1/.tocklet-probe.XXXXXX" 2>/dev/null) || { rm -f "$probe"; return 2; }
    tocklet_write_i386_probe "$probe"
    tocklet_write_x86_64_control "$control"
    ("$control") >/dev/null 2>&1 || rc=$?
    if [ "$rc" -eq 42 ]; then
        rc=0
        ("$probe") >/dev/null 2>&1 || rc=$?
        if [ "$rc" -eq 42 ]; then answer=0; else answer=1; fi
    fi
    rm -f "$probe" "$control"
    return "$answer"
}

# Returns 0 when this host runs 32-bit x86 programs.
tocklet_host_runs_32bit() {
    if [ -z "${TOCKLET_HOST_32BIT:-}" ]; then
        if [ "${TOCKLET_NO_32BIT:-0}" = 1 ]; then
            TOCKLET_HOST_32BIT=no
            TOCKLET_HOST_32BIT_WHY="TOCKLET_NO_32BIT=1"
        else
            local root dir answer dirs=() tried=()
            root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
            IFS=: read -ra dirs <<<"${TOCKLET_PROBE_DIRS:-$root/build:$root:${TMPDIR:-/tmp}}"
            TOCKLET_HOST_32BIT=unknown
            for dir in "${dirs[@]}"; do
                [ -d "$dir" ] || continue
                answer=0
                tocklet_probe_in "$dir" || answer=$?
                case $answer in
                    0)
                        TOCKLET_HOST_32BIT=yes
                        TOCKLET_HOST_32BIT_WHY="the kernel runs i386 programs"
                        break
                        ;;
                    1)
                        TOCKLET_HOST_32BIT=no
                        TOCKLET_HOST_32BIT_WHY="this machine cannot run 32-bit programs"
                        break
                        ;;
                esac
                tried+=("$dir")
            done
            if [ "$TOCKLET_HOST_32BIT" = unknown ]; then
                TOCKLET_HOST_32BIT_WHY="not known: no program runs from ${tried[*]:-any folder} (mounted noexec?)"
            fi
        fi
        export TOCKLET_HOST_32BIT TOCKLET_HOST_32BIT_WHY
    fi
    [ "$TOCKLET_HOST_32BIT" = yes ]
}

# The cross build preset of a Windows machine: mingw or mingw64, with
# -release for the release build.
tocklet_preset() { # tocklet_preset MACHINE [release]
    local preset
    case $1 in
        i686) preset=mingw ;;
        x86_64) preset=mingw64 ;;
        *)
            echo "host: unknown machine '$1' (i686 or x86_64)" >&2
            return 1
            ;;
    esac
    [ "${2:-}" != release ] || preset+=-release
    echo "$preset"
}

# "MACHINE PRESET": the Windows machine whose programs this host runs by
# choice (i686 where it runs 32-bit programs, else x86_64) and its preset.
tocklet_preferred_machine() { # tocklet_preferred_machine [release]
    local machine=x86_64
    if tocklet_host_runs_32bit; then machine=i686; fi
    echo "$machine $(tocklet_preset "$machine" "${1:-}")"
}

# The machine a PE executable was built for: i686 or x86_64.
tocklet_exe_machine() {
    local pe machine
    pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' ')
    case $machine in
        014c) echo i686 ;;
        8664) echo x86_64 ;;
        *) echo "unknown-$machine" ;;
    esac
}
