# SPDX-License-Identifier: MIT
# Turns the manual page or another document into an installable file (run with cmake -P):
#   MODE=gzip  compress it (for the man or doc directory): best compression, and no name or
#              time stamp in the header, so the same text always gives the same bytes;
#   MODE=text  render the manual page to plain text without any overstriking, with
#              CR LF line ends (the text is for Windows);
#   MODE=crlf  copy a text document with CR LF line ends (for Windows).
# TOOL is the gzip or groff program, INPUT the document, OUTPUT the file to write.

# Rewrites `file` with CR LF line ends (lines already ending so stay as they are).
function(use_crlf_line_ends file)
    file(READ ${file} text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${file} "${text}")
endfunction()

if(MODE STREQUAL "crlf")
    configure_file(${INPUT} ${OUTPUT}.part COPYONLY)
    use_crlf_line_ends(${OUTPUT}.part)
    file(RENAME ${OUTPUT}.part ${OUTPUT})
    return()
elseif(MODE STREQUAL "gzip")
    set(command ${TOOL} -9 -n -c ${INPUT})
elseif(MODE STREQUAL "text")
    set(command ${TOOL} -man -Tascii -P-c -P-b -P-o -P-u ${INPUT})
else()
    message(FATAL_ERROR "PrepareDocument: unknown MODE '${MODE}'")
endif()

execute_process(COMMAND ${command} OUTPUT_FILE ${OUTPUT}.part RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE ${OUTPUT}.part)
    message(FATAL_ERROR "PrepareDocument: '${command}' failed: ${status}")
endif()
if(MODE STREQUAL "text")
    use_crlf_line_ends(${OUTPUT}.part)
endif()
file(RENAME ${OUTPUT}.part ${OUTPUT})
