# cpu_ms PID: milliseconds of processor time all threads of PID have run,
# user and system, from the scheduler's own count (/proc/PID/task/*/schedstat).
# The ticks of /proc/PID/stat are samples taken on the timer interrupt: a
# program that wakes on a 10 ms period of its own is charged by whether its
# moments meet the samples, which made runs of one build differ twofold.
cpu_ms() {
  cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ns += $1} END {printf "%d\n", ns / 1000000}'
}

# share_percent MS0 MS1 T0 T1: percent of one core between two cpu_ms counts
# taken at the times T0 and T1 (seconds, as date +%s.%N prints them).
share_percent() {
  echo "scale=3; 100 * ($2 - $1) / 1000 / ($4 - $3)" | bc
}

# The median of the numbers on standard input, one a line.
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
