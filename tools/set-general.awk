# Sets keys in the [GENERAL] section of a settings file, keeping every
# other line as it is; a key not there yet is added at the section's end.
# Usage: awk -v set="PORT_NR=7 SHOW_ADV=0" -f set-general.awk qm480cfg.ini
BEGIN {
    n = split(set, pairs, " ")
    for (i = 1; i <= n; i++) {
        eq = index(pairs[i], "=")
        key[i] = toupper(substr(pairs[i], 1, eq - 1))
        value[i] = substr(pairs[i], eq + 1)
        done[i] = 0
    }
    ingeneral = 0
    seen = 0
}
function add_missing(    i) {
    for (i = 1; i <= n; i++)
        if (!done[i]) { printf "%s=%s\r\n", key[i], value[i]; done[i] = 1 }
}
{
    line = $0
    sub(/\r$/, "", line)
    if (line ~ /^\[.*\]$/) {
        if (ingeneral) add_missing()
        ingeneral = (toupper(line) == "[GENERAL]")
        if (ingeneral) seen = 1
        printf "%s\r\n", line
        next
    }
    if (ingeneral) {
        for (i = 1; i <= n; i++) {
            if (!done[i] && toupper(substr(line, 1, length(key[i]) + 1)) == key[i] "=") {
                printf "%s=%s\r\n", key[i], value[i]
                done[i] = 1
                next
            }
        }
    }
    printf "%s\r\n", line
}
END {
    if (!seen) printf "[GENERAL]\r\n"
    if (!seen || ingeneral) add_missing()
}
