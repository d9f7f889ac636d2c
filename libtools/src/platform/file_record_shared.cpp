// SPDX-License-Identifier: MIT
// The fault switch of the record operations, the same on every system.
#include "platform/file_record.h"

namespace platform {

namespace {

RecordFault current_fault = RecordFault::none;

} // namespace

void set_record_fault(RecordFault fault) {
    current_fault = fault;
}

bool injected_record_result(bool writing, RecordResult *result) {
    if (current_fault == RecordFault::unsupported) {
        *result = RecordResult::unsupported;
        return true;
    }
    if (current_fault == RecordFault::failed && writing) {
        *result = RecordResult::failed;
        return true;
    }
    return false;
}

} // namespace platform
