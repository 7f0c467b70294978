// StreamedValues: values too large to stand in a statement's text, sent to the server as the
// statement's parameters in pieces while it executes (ODBC's data at execution: SQLPutData), so
// that no copy of a whole value is made on this side. A text is read from its UTF-8 and sent as
// UTF-16 (SQL_C_WCHAR), a piece of at most kStreamPieceBytes at a time, never splitting a
// character; binary is sent as its bytes (SQL_C_BINARY), taken from the bytes themselves or from
// their hexadecimal digits. What a driver then keeps of the pieces is its own affair (FreeTDS
// gathers a whole parameter before it sends the statement).
//
// Pure; any thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace velmora {

// The most bytes one piece of a streamed value holds.
inline constexpr size_t kStreamPieceBytes = size_t{1} << 20;

// One parameter value; `data` stays valid until the statement has executed.
struct StreamedValue {
    enum class Form {
        Text,       // UTF-8, sent as UTF-16
        Bytes,      // binary, sent as it is
        HexDigits,  // binary given as its upper- or lower-case hexadecimal digits
    };
    Form form = Form::Text;
    std::string_view data;

    bool IsText() const { return form == Form::Text; }
};

// The length the driver is told: UTF-16 code units of a text, bytes of binary.
size_t StreamedLength(const StreamedValue& value);

// Hands the value to `send` in pieces (UTF-16 code units as bytes, or binary bytes), in order; a
// false from `send` stops and is returned. An empty value is one empty piece.
bool ForEachPiece(const StreamedValue& value,
                  const std::function<bool(const void* data, size_t bytes)>& send,
                  size_t pieceBytes = kStreamPieceBytes);

}  // namespace velmora
