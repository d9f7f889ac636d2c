#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times joint2si against what a user would otherwise run, on generated joint files:
# the awk script (mawk, gawk), the perl script, `sed -i` for many small files, and
# `cp` and `gzip` as floors. Builds the release binary first, checks that every peer
# script writes exactly what joint2si writes, then prints the median time of several
# alternated runs of each command, its throughput, its ratio to joint2si and its
# peak memory. gzip files are timed at each level against `gzip` and `pigz` pipes
# (pigz is installed when missing), with the sizes written. Files live on /dev/shm
# where it exists.
#
# Usage: bench/run.sh [--smoke] [--size MB] [--runs N] [--disk-runs N] [--files N]
#                     [--large GB] [--levels "1 6 9"] [--gzip-only]
#   --smoke      small sizes, one run, the checks only matter (continuous integration)
#   --size       size of the large file in MB (default 100)
#   --runs       alternated runs per command (default 5)
#   --disk-runs  runs of the many-files case on the real disk (default --runs); each
#                file is synced there, so one run of 10,000 files takes minutes
#   --files      number of small files (default 10000), converted by one job and by
#                one per core, each file synced; the --jobs scaling runs 2,000 files
#                (100 with --smoke) in memory with one job and with two
#   --large      also report joint2si's peak memory on a file of this many GB
#   --levels     the gzip levels to time (default "1 6 9")
#   --gzip-only  time the gzip files only
#   --files-only time the many files and the --jobs scaling only
# --recursive is timed over 1,000, 4,000 and 16,000 nested directories (50 and 200 with
# --smoke).
# BENCH_DISK_DIR names the real-disk directory (default /var/tmp).
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD

size_mb=100
runs=5
file_count=10000
scaling_count=2000
cores=$(nproc)
disk_runs=""
large_gb=0
levels="1 6 9"
gzip_only=0
files_only=0
smoke=0
while (($#)); do
    case $1 in
    --smoke) smoke=1 size_mb=1 runs=1 file_count=100 scaling_count=100 ;;
    --size) size_mb=$2 && shift ;;
    --runs) runs=$2 && shift ;;
    --disk-runs) disk_runs=$2 && shift ;;
    --files) file_count=$2 && shift ;;
    --large) large_gb=$2 && shift ;;
    --levels) levels=$2 && shift ;;
    --gzip-only) gzip_only=1 ;;
    --files-only) files_only=1 levels="" ;;
    *) echo "usage: $0 [--smoke] [--size MB] [--runs N] [--disk-runs N] [--files N] [--large GB] [--levels LIST] [--gzip-only] [--files-only]" >&2 && exit 2 ;;
    esac
    shift
done
disk_runs=${disk_runs:-$runs}

scripts/ensure-deps.sh pigz >/dev/null
echo "==> Building the release binary"
cmake --preset release >/dev/null
cmake --build --preset release --target joint2si -j "$(nproc)" >/dev/null
joint2si=$source_dir/build/release/converter/joint2si
awk_script=$source_dir/bench/peers/joint2si.awk
perl_script=$source_dir/bench/peers/joint2si.pl

shm=/dev/shm
[[ -d $shm && -w $shm ]] || shm=${TMPDIR:-/tmp}
disk=${BENCH_DISK_DIR:-/var/tmp}
[[ -d $disk && -w $disk ]] || disk=$source_dir/build
work=$(mktemp -d "$shm/joint2si-bench.XXXXXX")
disk_work=$(mktemp -d "$disk/joint2si-bench.XXXXXX")
trap 'rm -rf "$work" "$disk_work"' EXIT
cd "$work"

awks=(mawk)
command -v gawk >/dev/null && awks+=(gawk)

echo "==> Generating the files ($size_mb MB) in $work"
perl "$source_dir/bench/generate.pl" $((size_mb * 1000000)) >plain.jnt
perl "$source_dir/bench/generate.pl" --crlf $((size_mb * 1000000 / 10 + 1)) >crlf.jnt
gzip -1 -c plain.jnt >plain.jnt.gz
text_bytes=$(stat -c %s plain.jnt)

# ---- Checks: every peer writes what joint2si writes ------------------------------

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# joint2si's output for `input` in `output` (converted in a copy).
# The copy is a new file each time: a file joint2si converted before carries its
# mark, and converting it again is refused.
joint2si_output() {
    rm -f check.in
    cp "$1" check.in
    "$joint2si" -f kN -m kNm check.in || fail "joint2si refused $1"
    gzip -dcf check.in >"$2"
}

check_peers() {
    local input=$1 expected=$2
    for awk in "${awks[@]}"; do
        "$awk" -v force=1000 -v moment=1000 -f "$awk_script" "$input" >check.out
        cmp -s check.out "$expected" || fail "$awk script output differs from joint2si on $input"
    done
    perl "$perl_script" 1000 1000 <"$input" >check.out
    cmp -s check.out "$expected" || fail "perl script output differs from joint2si on $input"
}

echo "==> Checking the peer scripts against joint2si"
joint2si_output plain.jnt expected.plain
check_peers plain.jnt expected.plain
joint2si_output plain.jnt.gz expected.gz
cmp -s expected.gz expected.plain || fail "joint2si converts the gzip file differently"
joint2si_output crlf.jnt expected.crlf
if grep -q $'\r$' expected.crlf; then
    check_peers crlf.jnt expected.crlf
else # joint2si writes "\n" line ends: compare with the peers' CR LF taken out
    for awk in "${awks[@]}"; do
        "$awk" -v force=1000 -v moment=1000 -f "$awk_script" crlf.jnt | tr -d '\r' >check.out
        cmp -s check.out expected.crlf || fail "$awk script differs from joint2si on crlf.jnt"
    done
fi
cp plain.jnt.gz check.gz
"$joint2si" -f kN -m kNm check.gz
gzip_written=no
[[ $(head -c2 check.gz | od -An -tx1 | tr -d ' ') == 1f8b ]] && gzip_written=yes
pipe_mode=no
if [[ $(printf 'shear_force 2\n' | gzip -c | "$joint2si" -f kN - 2>/dev/null) == "shear_force 2000.000000" ]]; then
    pipe_mode=yes
fi
echo "    peers agree; gzip written back compressed: $gzip_written; '-' pipe mode: $pipe_mode"

# ---- Timing ------------------------------------------------------------------------

# Runs the shell command $3 after the untimed setup $2; appends "microseconds KiB
# cpu-seconds" to times.$1 (the processor time of the command and its children). The
# wall time is read by the shell that runs the command, right before and after it: the
# start of that shell and of `time` (about 15 ms on a slow virtual machine) would add
# the same to every command and bring every ratio closer to 1.
measure() {
    local label=$1 setup=$2 command=$3
    eval "$setup"
    # The command may change directory: the times go to a file named in full.
    /usr/bin/time -f '%M %U %S' -o mem.txt bash -c 'start=$EPOCHREALTIME
        { '"$command"'
        } >/dev/null 2>&1
        status=$?
        echo "$start $EPOCHREALTIME" >'"'$PWD/wall.txt'"'
        exit $status' >/dev/null 2>&1 || fail "$command"
    local start end kib user system
    read -r start end <wall.txt
    read -r kib user system < <(tail -n1 mem.txt)
    echo "$((${end/./} - ${start/./})) $kib $(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')" \
        >>"times.$label"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Prints one table for the commands named in $@ (label=command pairs run in turn,
# `runs` times alternated); the first is joint2si, the base of the ratios.
table() {
    local title=$1 setup=$2 bytes=$3
    shift 3
    local labels=() commands=()
    for pair in "$@"; do
        labels+=("${pair%%=*}")
        commands+=("${pair#*=}")
    done
    rm -f times.*
    for ((run = 0; run < runs; ++run)); do
        for i in "${!labels[@]}"; do
            measure "$i" "$setup" "${commands[i]}"
        done
    done
    echo
    echo "$title"
    printf '  %-34s %8s %8s %7s %8s %7s %9s\n' command "time s" "MB/s" ratio "cpu s" ratio \
        "peak MiB"
    local base="" cpu_base=""
    for i in "${!labels[@]}"; do
        local micro kib cpu
        micro=$(cut -d' ' -f1 "times.$i" | median)
        kib=$(cut -d' ' -f2 "times.$i" | median)
        cpu=$(cut -d' ' -f3 "times.$i" | median)
        base=${base:-$micro}
        cpu_base=${cpu_base:-$cpu}
        awk -v l="${labels[i]}" -v us="$micro" -v b="$base" -v n="$bytes" -v k="$kib" \
            -v c="$cpu" -v cb="$cpu_base" 'BEGIN {
            printf "  %-34s %8.3f %8.1f %7.2f %8.2f %7s %9.1f\n", l, us / 1e6, n / us, us / b, c,
                   (cb > 0 ? sprintf("%.2f", c / cb) : "-"), k / 1024 }'
    done
}

copy_plain='rm -f run.jnt && cp plain.jnt run.jnt'
convert="$joint2si -f kN -m kNm"
peers=()
for awk in "${awks[@]}"; do
    peers+=("$awk script=$awk -v force=1000 -v moment=1000 -f $awk_script plain.jnt >out.jnt")
done
peers+=("perl script=perl $perl_script 1000 1000 <plain.jnt >out.jnt")

echo
echo "Medians of $runs alternated runs: wall time, MB/s of the uncompressed text"
echo "($text_bytes bytes), ratio to joint2si's wall time, processor time (user and system,"
echo "children included; 10 ms resolution) and its ratio to joint2si's, peak memory."

((gzip_only || files_only)) || table "Plain file ($size_mb MB, $shm)" "$copy_plain" "$text_bytes" \
    "joint2si=$convert run.jnt" "${peers[@]}" "cp=cp plain.jnt out.jnt"

# The median of the ratios of command $1's time to command $2's within each run.
run_ratios() {
    paste -d' ' <(cut -d' ' -f1 "times.$1") <(cut -d' ' -f1 "times.$2") | awk '{ print $1 / $2 }' | median
}

# One table per gzip level: joint2si writes back at the level the file's header
# records, against the gzip and pigz pipes that decompress and compress again at it.
# The sizes written and the median of each run's ratio of joint2si to the pigz pipe
# follow the table. The pipes compress the original text again; the last pipe
# compresses the converted text, the same work as joint2si's but the conversion (the
# converted numbers' runs of zeros make the higher levels search longer).
gzip_table() {
    local level=$1 extra=()
    gzip "-$level" -c plain.jnt >"level$level.gz"
    gzip "-$level" -c expected.plain >"converted$level.gz"
    if ((level == 1)); then
        for awk in "${awks[@]}"; do
            extra+=("gzip -dc | $awk | gzip -1=gzip -dc level1.gz | $awk -v force=1000 -v moment=1000 -f $awk_script | gzip -1 -c >out.jnt.gz")
        done
    fi
    table "gzip file at level $level, converted in place (written back compressed: $gzip_written)" \
        "rm -f run.jnt.gz && cp level$level.gz run.jnt.gz" "$text_bytes" \
        "joint2si=$convert run.jnt.gz" \
        "gzip -dc | gzip -$level=gzip -dc level$level.gz | gzip -$level -c >gzip.out" \
        "pigz -dc | pigz -$level=pigz -dc level$level.gz | pigz -$level -c >pigz.out" \
        "pigz, the converted text=pigz -dc converted$level.gz | pigz -$level -c >/dev/null" \
        "${extra[@]}"
    # Sizes: joint2si's file against gzip and pigz at the same level on the same text.
    rm -f run.jnt.gz && cp "level$level.gz" run.jnt.gz && $convert run.jnt.gz
    gzip -t run.jnt.gz || fail "joint2si wrote a damaged gzip file at level $level"
    gzip -dc run.jnt.gz >converted.txt
    awk -v lv="$level" -v j="$(stat -c %s run.jnt.gz)" -v g="$(gzip "-$level" -c converted.txt | wc -c)" \
        -v p="$(pigz "-$level" -c converted.txt | wc -c)" \
        -v r="$(run_ratios 0 2)" -v c="$(run_ratios 0 3)" 'BEGIN {
        printf "  the converted text compressed: joint2si %d bytes, gzip -%s %d (joint2si %+.2f%%), pigz %d\n", j, lv, g, 100 * (j - g) / g, p
        printf "  joint2si / pigz pipe, median of the runs\047 ratios: %.2f (on the converted text: %.2f)\n", r, c }'
    rm -f converted.txt
}
for level in $levels; do
    gzip_table "$level"
done
((gzip_only)) && exit 0

if [[ $pipe_mode == yes ]] && ((!files_only)); then
    table "gzip file read through the '-' pipe mode to /dev/null" ":" "$text_bytes" \
        "joint2si - <gz=$convert - <plain.jnt.gz >/dev/null" \
        "gzip -dc=gzip -dc plain.jnt.gz >/dev/null"
fi

# Many small files: one pattern against one sed process over the same files.
perl "$source_dir/bench/generate.pl" 2000 >small.jnt
small_bytes=$(($(stat -c %s small.jnt) * file_count))
memory_runs=$runs
for place in "$work" "$disk_work"; do
    [[ $place == "$disk_work" ]] && runs=$disk_runs
    mkdir -p "$place/template"
    for ((i = 0; i < file_count; ++i)); do
        echo "$place/template/f$i.jnt"
    done | xargs -n 1000 -- bash -c 'for f; do cp small.jnt "$f"; done' _
    # Each run starts with nothing waiting to be written: otherwise a command would wait
    # for the writes the copy, or the command before it (sed syncs nothing), left behind.
    fresh="rm -rf $place/many && cp -r $place/template $place/many && sync"
    table "$file_count files of $(stat -c %s small.jnt) bytes in $place" "$fresh" "$small_bytes" \
        "joint2si --jobs $cores '*.jnt'=cd $place/many && $convert --jobs $cores '*.jnt'" \
        "joint2si --jobs 1 '*.jnt'=cd $place/many && $convert --jobs 1 '*.jnt'" \
        "sed -i s/kN/N/ *.jnt=cd $place/many && sed -i s/kN/N/ *.jnt"
    rm -rf "$place/many" "$place/template"
done
runs=$memory_runs

# --jobs scaling: the same files converted by one job and by two, in memory, where no
# sync waits for a disk and the processor's work is what is measured. Each run starts
# after the disk has written what the runs on it left behind (`sed -i` syncs nothing):
# the system's write-back would otherwise take a processor from the run.
mkdir -p "$work/template"
for ((i = 0; i < scaling_count; ++i)); do
    echo "$work/template/f$i.jnt"
done | xargs -n 1000 -- bash -c 'for f; do cp small.jnt "$f"; done' _
fresh="rm -rf $work/many && cp -r $work/template $work/many && sync"
table "--jobs scaling: $scaling_count files in $work" "$fresh" \
    $(($(stat -c %s small.jnt) * scaling_count)) \
    "joint2si --jobs 1=cd $work/many && $convert --jobs 1 '*.jnt'" \
    "joint2si --jobs 2=cd $work/many && $convert --jobs 2 '*.jnt'"
rm -rf "$work/many" "$work/template"

# --recursive over a chain of nested directories: the walk's time grows with the number
# of entries, whatever the depth. A file at the top and one 100 levels down (each copied
# fresh before a run); the walk lists every level below them.
depths="1000 4000 16000"
((smoke)) && depths="50 200"
for depth in $depths; do
    mkdir deep
    # Made one level at a time through the current directory: the whole path is longer
    # than the system's limit on a path.
    python3 -c 'import os, sys
os.chdir(sys.argv[2])
for _ in range(int(sys.argv[1])):
    os.mkdir("d"); os.chdir("d")' "$depth" deep
    level100=deep$(printf '/d%.0s' $(seq 1 $((depth < 100 ? depth : 100))))
    table "--recursive over $depth nested directories" \
        "rm -f deep/f.jnt $level100/f.jnt && cp small.jnt deep/f.jnt && cp small.jnt $level100/f.jnt" "$(($(stat -c %s small.jnt) * 2))" \
        "joint2si --recursive=cd deep && $convert --recursive '*.jnt'"
    rm -rf deep
done

if ((large_gb > 0)); then
    echo
    echo "==> Peak memory on a $large_gb GB file"
    perl "$source_dir/bench/generate.pl" $((large_gb * 1000000000)) >large.jnt
    /usr/bin/time -f '  joint2si: %e s, peak %M KiB' "$joint2si" -f kN -m kNm large.jnt
    rm -f large.jnt
fi
