#include "fast_rewrite.h"

#include "units.h"

#include <climits>

namespace {

bool write_to_replacement(void *context, const char *data, std::size_t size) {
    auto *replacement = static_cast<ToolReplacement *>(context);
    while (size > 0) {
        const unsigned part = size > UINT_MAX / 2 ? UINT_MAX / 2 : static_cast<unsigned>(size);
        if (!tool_replace_write(replacement, data, part)) {
            return false;
        }
        data += part;
        size -= part;
    }
    return true;
}

} // namespace

OutputTarget replacement_target(ToolReplacement *replacement) {
    return OutputTarget{replacement, write_to_replacement};
}

FastConversion conversion_for(const Conversion &conversion) {
    // A kind without a unit text has the factor 0, which leaves its lines unchanged.
    // The output keeps the input's line ends.
    return FastConversion{{true, conversion.force}, {true, conversion.moment}, nullptr};
}

OnePassOutcome convert_stream_fast(ToolStream input, ToolReplacement *replacement,
                                   const Conversion &conversion, ConversionCounts *counts) {
    return convert_lines(stream_source(input), conversion_for(conversion),
                         OutputTarget{replacement, write_to_replacement}, counts);
}
