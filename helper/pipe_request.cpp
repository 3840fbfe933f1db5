#include "pipe_request.h"

#include <cstring>

#include "byte_reader.h"

namespace {

// A text field whose last byte always counts as its terminator, whatever the client put there.
std::string FieldText(qz::ByteReader& reader, size_t width) {
    const char* field = reinterpret_cast<const char*>(reader.current());
    if (!reader.skip(width)) return {};
    return std::string(field, strnlen(field, width - 1));
}

}  // namespace

std::optional<PipeRequest> ParsePipeRecord(const void* data, size_t size) {
    if (!data || size < sizeof(HelperPipeRecord)) return std::nullopt;
    qz::ByteReader reader(data, sizeof(HelperPipeRecord));
    PipeRequest request;
    request.code = reader.u16le();
    request.driver = FieldText(reader, sizeof HelperPipeRecord::driver);
    request.port = FieldText(reader, sizeof HelperPipeRecord::port);
    if (!reader.ok()) return std::nullopt;
    return request;
}
