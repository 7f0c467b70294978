#include "Converters/RefusalNote.h"

#include <cstdio>
#include <utility>

#include "Converters/WorkerContext.h"
#include "data/DataAccess.h"

namespace velmora {
namespace {

// Refused constructs (a part of the refusal's text) and the T-SQL that says the same; the first
// that the refusal holds is the suggestion.
constexpr std::pair<std::string_view, std::string_view> kRewrites[] = {
    {"CREATE TEMPORARY TABLE ... LIKE",
     "a temporary table becomes #t: SELECT TOP (0) * INTO #t FROM the table, or CREATE TABLE #t with its "
     "columns spelled out"},
    {"temporary table", "a temporary table becomes #t (CREATE TABLE #t ...; it lives until the procedure ends)"},
    {"INSERT ... ON DUPLICATE KEY UPDATE",
     "MERGE INTO the table USING (VALUES ...) ON the key WHEN MATCHED THEN UPDATE ... WHEN NOT MATCHED THEN INSERT ..."},
    {"INSERT ... RETURNING", "INSERT ... OUTPUT inserted.column ... VALUES ..."},
    {"NATURAL JOIN", "JOIN ... ON with the shared columns named"},
    {"SQL_CALC_FOUND_ROWS", "COUNT(*) OVER () in the select list gives the count beside each row"},
    {"SOUNDS LIKE", "SOUNDEX(a) = SOUNDEX(b)"},
    {"REGEXP", "LIKE or PATINDEX where the pattern allows it; otherwise filter in the application"},
    {"GROUP_CONCAT", "STRING_AGG(value, separator) WITHIN GROUP (ORDER BY ...), DISTINCT through a subquery"},
    {"LIMIT with a computed count", "SELECT TOP (@n) ... or ORDER BY ... OFFSET 0 ROWS FETCH NEXT @n ROWS ONLY"},
    {"SELECT ... INTO ", "SELECT @variable = column ... (one row), or INSERT INTO a table SELECT ..."},
    {"trigger on several events", "one trigger FOR INSERT, UPDATE, DELETE reading the inserted and deleted tables"},
    {"UPDATE trigger on a table without a primary key",
     "give the table a primary key, so the inserted and deleted rows can be paired"},
    {"handler for errors in a function", "a procedure with BEGIN TRY ... END TRY BEGIN CATCH ... END CATCH"},
    {"handler for SQLWARNING", "drop the handler: T-SQL raises no warnings"},
    {"window frame", "ROWS BETWEEN ... AND ... in the OVER clause"},
    {"event", "a job of the target's scheduler (SQL Server Agent) that runs the event's statements"},
    {"UTF-8 collation", "nvarchar columns with a non-UTF-8 collation (Latin1_General_100_CI_AS_SC) hold the same text"},
    {"STRING_AGG", "FOR XML PATH('') with STUFF on a target without STRING_AGG"},
};

// The code point of the UTF-8 sequence at `at` and its length; {byte, 1} for a byte that starts
// no sequence (shown as it is).
std::pair<char32_t, size_t> CodeAt(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length == 1 || at + length > text.size()) return {lead, 1};
    char32_t code = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return {lead, 1};
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    return {code, length};
}

bool EndsLine(char32_t code) {
    return code < 0x20 || code == 0x7F || code == 0x85 || code == 0x2028 || code == 0x2029;
}

void AddLine(std::string& block, std::string_view line) {
    block += "-- ";
    block += CommentSafeLine(line);
    block += '\n';
}

// The text's lines: split at line feeds; a carriage return right before one belongs to the line
// ending, any other stays in its line (and is shown).
void AddLines(std::string& block, std::string_view text, std::string_view indent) {
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r' && end < text.size()) line.remove_suffix(1);
        AddLine(block, std::string(indent) + std::string(line));
        at = end + 1;
    }
}

}  // namespace

std::string SuggestedRewrite(std::string_view construct) {
    for (const auto& [what, rewrite] : kRewrites) {
        if (construct.find(what) != std::string_view::npos) return std::string(rewrite);
    }
    return {};
}

std::string CommentSafeLine(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (size_t at = 0; at < line.size();) {
        const auto [code, length] = CodeAt(line, at);
        if (EndsLine(code)) {
            char shown[16];
            std::snprintf(shown, sizeof shown, "[U+%04X]", static_cast<unsigned>(code));
            out += shown;
        } else if (code == '/' && ((at + 1 < line.size() && line[at + 1] == '*') ||
                                   (!out.empty() && out.back() == '*'))) {
            out += "[/]";
        } else {
            out.append(line.substr(at, length));
        }
        at += length;
    }
    return out;
}

std::string RefusalComment(const RefusedObject& object) {
    std::string block;
    const std::string what = object.kind + " [" + object.database + "].[" + object.name + "]";
    AddLine(block, "NOT CREATED: " + what);
    AddLines(block, "Why: " + object.why, "");
    if (!object.rewrite.empty()) AddLines(block, "Suggested rewrite: " + object.rewrite, "");
    if (object.source.empty()) {
        AddLine(block, "MySQL source: not read");
    } else {
        AddLine(block, "MySQL source (control characters shown as [U+XXXX], the slash of a comment mark as [/]):");
        AddLines(block, object.source, "   ");
    }
    AddLine(block, "END OF " + what);
    return block;
}

void NoteRefusal(WorkerContext& context, const RefusedObject& object) {
    if (Session* target = context.TargetSession()) target->Annotate(RefusalComment(object));
}

}  // namespace velmora
