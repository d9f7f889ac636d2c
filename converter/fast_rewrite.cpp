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

KindConversion kind_conversion(const char *unit_text, int kind) {
    return KindConversion{unit_text != nullptr, get_unit_factor(unit_text, kind)};
}

} // namespace

FastConversion conversion_for(const UnitTexts &units) {
    return FastConversion{kind_conversion(units.force, KIND_FORCE),
                          kind_conversion(units.moment, KIND_MOMENT), "\n"};
}

ConversionOutcome convert_stream_fast(ToolStream input, ToolReplacement *replacement,
                                      const UnitTexts &units, ConversionCounts *counts) {
    return convert_lines(stream_source(input), conversion_for(units),
                         OutputTarget{replacement, write_to_replacement}, counts);
}
