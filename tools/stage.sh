# Sourced by tools/test.sh and .ci/run: `stage NAME COMMAND...` runs the command and prints how
# long it took, in wall time and in CPU time of the processes it ran (the fairer figure on a
# busy machine).

# Sets STAGE_CPU to the CPU seconds of this shell's finished children so far. `times` has to
# run in this shell, not in a command substitution, whose children are its own.
stage_cpu() {
    local file
    file=$(mktemp)
    { times; } >"$file"
    STAGE_CPU=$(tail -n 1 "$file" | awk '{ s = 0; for (i = 1; i <= NF; ++i) { split($i, p, "m"); s += p[1] * 60 + p[2] } print s }')
    rm -f "$file"
}

stage() {
    local name=$1
    shift
    local wall0 cpu0
    wall0=$(date +%s.%N)
    stage_cpu
    cpu0=$STAGE_CPU
    echo "== $name"
    "$@"
    local wall1
    wall1=$(date +%s.%N)
    stage_cpu
    awk -v n="$name" -v a="$wall0" -v b="$wall1" -v c="$cpu0" -v d="$STAGE_CPU" \
        'BEGIN { printf "== %s: %.0f s wall, %.0f s cpu\n", n, b - a, d - c }' | tee -a "${STAGE_LOG:-/dev/null}"
}
