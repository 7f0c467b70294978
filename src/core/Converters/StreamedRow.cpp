#include "Converters/StreamedRow.h"

#include <algorithm>

#include "data/WideText.h"
#include "translation/FullValueRendering.h"

namespace velmora {
namespace {

bool IsHexDigits(std::string_view text) {
    if (text.size() % 2 != 0) return false;
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    });
}

}  // namespace

bool StreamsValue(const TargetColumn& column, size_t bytes) {
    return bytes >= kStreamedValueBytes &&
           (column.rendering == ValueRendering::Text || column.rendering == ValueRendering::Binary);
}

StreamedValue StreamedValueOf(const TargetColumn& column, const StatementRowset& row, int index) {
    if (column.rendering != ValueRendering::Binary) return {StreamedValue::Form::Text, row.Value(index)};
    if (std::optional<std::string_view> bytes = row.RawBytes(index)) return {StreamedValue::Form::Bytes, *bytes};
    const std::string_view value = row.Value(index);
    return {IsHexDigits(value) ? StreamedValue::Form::HexDigits : StreamedValue::Form::Bytes, value};
}

void WriteRowLiteral(const StreamedRow& row, const std::function<void(std::string_view)>& write) {
    const std::string_view values = row.values;
    size_t from = 0;
    std::string piece;
    for (size_t i = 0; i < row.markers.size(); ++i) {
        write(values.substr(from, row.markers[i] - from));
        from = row.markers[i] + 1;
        const StreamedValue& value = row.parameters[i];
        if (value.form != StreamedValue::Form::Bytes) {
            // A text's literal is made whole: its line breaks decide its form.
            piece.clear();
            AppendFullValue(piece, *row.columns[i], value.data, false);
            write(piece);
            continue;
        }
        write("0x");
        for (size_t at = 0; at < value.data.size(); at += kStreamPieceBytes) {
            const std::string_view bytes = value.data.substr(at, kStreamPieceBytes);
            piece.clear();
            AppendHex(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), piece);
            write(piece);
        }
    }
    write(values.substr(from));
}

}  // namespace velmora
