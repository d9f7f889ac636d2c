#include "sinks/output_sink.h"

namespace {

bool append_to_sink(void *context, const char *data, std::size_t size) {
    return static_cast<OutputSink *>(context)->append(data, size);
}

} // namespace

OutputTarget target_of(OutputSink *sink) {
    return OutputTarget{sink, append_to_sink};
}
