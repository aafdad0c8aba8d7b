#!/usr/bin/env bash
# Time and peak memory of each reader of an outside file on its hostile shapes
# (bench/hostile_inputs.py): the JSON listing through --compare, the settings file, the
# exclusion list and the job file through --report of a one-file tree.
#   bench/reader_bounds.sh [QUILLON] [MB]   default build/release/quillon, 40 MB shapes
set -euo pipefail
cd "$(dirname "$0")/.."
quillon=$(realpath "${1:-build/release/quillon}")
mb=${2:-40}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 bench/hostile_inputs.py "$work/in" "$mb"
mkdir -p "$work/tree" "$work/cfg/Tessaly" "$work/data/Tessaly/Quillon"
echo x >"$work/tree/a.txt"
printf 'Option2\r\nName\r\nAsc\r\nCourier New\r\n10\r\n%s,Yes,*.*,All Levels,3\r\n' "$work/tree" >"$work/job.qjb"
export XDG_CONFIG_HOME=$work/cfg XDG_DATA_HOME=$work/data QT_QPA_PLATFORM=offscreen

measure() { # label, command...
    local label=$1 status
    shift
    set +e
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/err"
    status=$?
    set -e
    read -r seconds kb < <(tail -n 1 "$work/time")
    printf '| %-16s | %6s s | %7d MB | %3d | %s\n' "$label" "$seconds" $((kb / 1024)) "$status" \
        "$(grep -v XDG_RUNTIME "$work/err" | head -n 1 | cut -c1-90)"
}

echo "| input            |   time   |    peak    | exit | message"
for shape in good junk deep longname locations duplicates badcrc; do
    measure "$shape.json" "$quillon" --compare "$work/in/$shape.json" "$work/in/good.json"
done
cp "$work/in/settings.ini" "$work/cfg/Tessaly/Quillon.ini"
measure "settings.ini" "$quillon" --report "$work/job.qjb"
rm "$work/cfg/Tessaly/Quillon.ini"
cp "$work/in/exclusion.lst" "$work/data/Tessaly/Quillon/exclusion.lst"
measure "exclusion.lst" "$quillon" --report "$work/job.qjb"
rm "$work/data/Tessaly/Quillon/exclusion.lst"
measure "job.qjb" "$quillon" --report "$work/in/job.qjb"

# Just under each bound: what a file that is still read costs.
python3 bench/hostile_inputs.py "$work/one" 1
python3 bench/hostile_inputs.py "$work/four" 4
cp "$work/one/settings.ini" "$work/cfg/Tessaly/Quillon.ini"
measure "settings 1 MB" "$quillon" --report "$work/job.qjb"
rm "$work/cfg/Tessaly/Quillon.ini"
cp "$work/four/exclusion.lst" "$work/data/Tessaly/Quillon/exclusion.lst"
measure "exclusion 4 MB" "$quillon" --report "$work/job.qjb"
rm "$work/data/Tessaly/Quillon/exclusion.lst"
sed -i "s|^/x0,|$work/tree,|" "$work/one/job.qjb"
measure "job 1 MB" "$quillon" --report "$work/one/job.qjb"
ls -l "$work/one/settings.ini" "$work/four/exclusion.lst" "$work/one/job.qjb" | awk '{print "# " $5 " " $9}'
