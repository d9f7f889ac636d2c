# SPDX-License-Identifier: MIT
# What a user without joint2si would write: converts one joint attribute file from
# standard input to standard output, forces by `force` and moments by `moment`
# (numerical factors, for example -v force=1000 -v moment=1000). Comments ("/* */",
# "//", "#") are removed, lines that held only comments are dropped, a block comment
# joins the lines it spans, and the first line end of the input (CR LF or LF) is kept.
# Runs under mawk and gawk.
BEGIN {
    eol = "\n"
    pending = ""      # text of a line joined by an open block comment
    in_block = 0
}

# The text of `line` outside comments; sets `removed` when a comment was taken out.
function strip(line,    out, i, j, k, first) {
    out = ""
    while (line != "") {
        if (in_block) {
            removed = 1
            k = index(line, "*/")
            if (k == 0)
                return out
            line = substr(line, k + 2)
            in_block = 0
            continue
        }
        i = index(line, "/*"); j = index(line, "//"); k = index(line, "#")
        first = 0
        if (i > 0) first = i
        if (j > 0 && (first == 0 || j < first)) first = j
        if (k > 0 && (first == 0 || k < first)) first = k
        if (first == 0)
            return out line
        removed = 1
        out = out substr(line, 1, first - 1)
        if (first == i) {
            in_block = 1
            line = substr(line, i + 2)
        } else {
            return out
        }
    }
    return out
}

function convert(line,    blank, factor, value) {
    if (line ~ /shear_force|axial_force/)
        factor = force
    else if (line ~ /bending_moment/)
        factor = moment
    else
        return line
    blank = index(line, " ")
    if (blank == 0 || substr(line, blank + 1) !~ /^[ \t]*[-+]?([0-9]+\.?[0-9]*|\.[0-9]+)/)
        return line
    value = substr(line, blank + 1) + 0
    if (factor + 0 == 0 || value == -2147483648)
        return line
    return substr(line, 1, blank) sprintf("%.6f", value * factor)
}

{
    if (NR == 1 && /\r$/)
        eol = "\r\n"
    sub(/\r$/, "")
    removed = 0
    text = pending strip($0)
    if (in_block) {
        pending = text
        next
    }
    pending = ""
    if (text == "" && removed)
        next
    printf "%s%s", convert(text), eol
}
