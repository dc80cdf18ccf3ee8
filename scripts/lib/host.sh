# Sourced: what this host can run. Probed once per script run (the answer is
# exported, so child scripts reuse it); TOCKLET_NO_32BIT=1 forces the answer
# "no" so the 64-bit-only path can be tried on any machine.

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

# Returns 0 when this host runs 32-bit x86 programs.
tocklet_host_runs_32bit() {
    if [ -z "${TOCKLET_HOST_32BIT:-}" ]; then
        if [ "${TOCKLET_NO_32BIT:-0}" = 1 ]; then
            TOCKLET_HOST_32BIT=no
            TOCKLET_HOST_32BIT_WHY="TOCKLET_NO_32BIT=1"
        else
            local probe rc
            probe=$(mktemp)
            tocklet_write_i386_probe "$probe"
            ("$probe") >/dev/null 2>&1
            rc=$?
            rm -f "$probe"
            if [ "$rc" -eq 42 ]; then
                TOCKLET_HOST_32BIT=yes
                TOCKLET_HOST_32BIT_WHY="the kernel runs i386 programs"
            else
                TOCKLET_HOST_32BIT=no
                TOCKLET_HOST_32BIT_WHY="this machine cannot run 32-bit programs"
            fi
        fi
        export TOCKLET_HOST_32BIT TOCKLET_HOST_32BIT_WHY
    fi
    [ "$TOCKLET_HOST_32BIT" = yes ]
}

# The Windows machines whose programs run here, preferred first.
tocklet_wine_machines() {
    if tocklet_host_runs_32bit; then echo "i686 x86_64"; else echo "x86_64"; fi
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
