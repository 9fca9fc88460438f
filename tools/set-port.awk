# Sets PORT_NR in the [GENERAL] section of a settings file, keeping every
# other line as it is. Usage: awk -v port=7 -f set-port.awk qm480cfg.ini
BEGIN { done = 0; ingeneral = 0 }
{
    line = $0
    sub(/\r$/, "", line)
    if (line ~ /^\[.*\]$/) {
        if (ingeneral && !done) { printf "PORT_NR=%d\r\n", port; done = 1 }
        ingeneral = (toupper(line) == "[GENERAL]")
        printf "%s\r\n", line
        next
    }
    if (ingeneral && !done && toupper(substr(line, 1, 8)) == "PORT_NR=") {
        printf "PORT_NR=%d\r\n", port
        done = 1
        next
    }
    printf "%s\r\n", line
}
END {
    if (!done) {
        if (!ingeneral) printf "[GENERAL]\r\n"
        printf "PORT_NR=%d\r\n", port
    }
}
