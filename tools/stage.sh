# Sourced by tools/test.sh and .ci/run: `stage NAME COMMAND...` runs the command and prints how
# long it took, in wall time and in CPU time of the processes it ran (the fairer figure on a
# busy machine).
stage_cpu() {
    local file
    file=$(mktemp)
    { times; } >"$file" # in this shell: the second line is its children's user and system time
    tail -n 1 "$file" | awk '{ s = 0; for (i = 1; i <= NF; ++i) { split($i, p, "m"); s += p[1] * 60 + p[2] } printf "%.1f", s }'
    rm -f "$file"
}

stage() {
    local name=$1
    shift
    local wall0 cpu0
    wall0=$(date +%s.%N)
    cpu0=$(stage_cpu)
    echo "== $name"
    "$@"
    local wall1 cpu1
    wall1=$(date +%s.%N)
    cpu1=$(stage_cpu)
    awk -v n="$name" -v a="$wall0" -v b="$wall1" -v c="$cpu0" -v d="$cpu1" \
        'BEGIN { printf "== %s: %.0f s wall, %.0f s cpu\n", n, b - a, d - c }' | tee -a "${STAGE_LOG:-/dev/null}"
}
