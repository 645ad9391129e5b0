# Sourced by the scripts that stop a program under Wine with Ctrl+C.
#   wait_for FILE TENTHS TEXT   waits up to TENTHS tenths of a second for FILE to contain TEXT
#   ctrl_c PID SECONDS          sends SIGINT (Wine's Ctrl+C), waits up to SECONDS for the process (a
#                               child of the caller's shell) to end and sets ctrl_c_code to its exit
#                               code; returns 1 when it is still running

wait_for() {
    for _ in $(seq 1 "$2"); do
        grep -q -- "$3" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

ctrl_c() {
    local pid=$1 seconds=$2
    kill -INT "$pid"
    for _ in $(seq 1 $((seconds * 10))); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && return 1
    wait "$pid"
    ctrl_c_code=$?
}
