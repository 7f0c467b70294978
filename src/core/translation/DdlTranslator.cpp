#include "translation/DdlTranslator.h"

#include <cctype>
#include <string>

#include "translation/Naming.h"
#include "translation/PatternService.h"

namespace velmora {
namespace {

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

void EraseAll(std::string& text, std::string_view word) {
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, from)) {
        out.append(text, from, at - from);
        from = at + word.size();
    }
    out.append(text, from, std::string::npos);
    text.swap(out);
}

// A column name as it stands in a column line: a [bracketed] name or a run of non-blanks.
#define COLUMN_NAME "(\\[[^\\n]*\\]|\\S+)"

}  // namespace

const std::vector<RewriteRule>& TableRuleChain() {
    static const std::vector<RewriteRule> chain = {
        // 1. Display widths of the integer types go; the empty alternative covers plain int.
        {"\\s(tiny|small|medium|big|)int[\\s]*\\([0-9]*\\)", " $1int"},
        // 2.
        {"\\smediumint\\s", " int "},
        // 3. Every bit(n) becomes binary(8).
        {"\\sbit[\\s]*\\([0-9]*\\)", " binary(8)"},
        // 4. Every bit-literal default becomes 0x00.
        {"\\sdefault\\sb'[0-1]*'", " default 0x00"},
        // 5.
        {"\\stinytext", " nvarchar(255)"},
        // 6.
        {"\\s(medium|long|)text(\\s|,)", " ntext$2"},
        // 7.
        {"\\s(medium|long|)blob(\\s|,)", " image$2"},
        // 8. varchar(256) and longer becomes text.
        {"\\s(varchar|VARCHAR)[\\s]*\\(([2][5][6-9]|[2][6-9][0-9]|[3-9][0-9]{2}|[1-9][0-9]{3,9})\\)",
         " text"},
        // 9. varbinary beyond what SQL Server holds in a row becomes image.
        {"\\s(varbinary|VARBINARY)[\\s]*\\(([8][0-9][0-9][1-9]|[9][0-9]{3}|[1-9][0-9]{4,9})\\)",
         " image"},
        // 10. Timestamps. An "on update current_timestamp" clause has no SQL Server form and goes;
        // a current-timestamp default, with or without its parentheses and precision, becomes
        // CURRENT_TIMESTAMP (upper case, so that no later lower-case rule touches it); then a
        // column whose type is timestamp gets datetime2. Only the type position is rewritten, so
        // a column named last_timestamp keeps its name.
        {"\\son\\supdate\\scurrent_timestamp(\\([0-9]*\\))?", ""},
        {"default\\scurrent_timestamp(\\([0-9]*\\))?", "default CURRENT_TIMESTAMP"},
        {"(\\n\\s*" COLUMN_NAME "\\s+)timestamp(\\([0-9]*\\))?(\\s|,)", "$1datetime2$4"},
        // 11. year(4) becomes char(4).
        {"\\syear(\\([0-9]*\\))", " char$1"},
        // 12. float(m,d) becomes float(24).
        {"\\sfloat\\([0-9]*,[0-9]*\\)", " float(24) "},
        // 13. double(m,d) and plain double become float(53).
        {"\\sdouble(\\([0-9]*,[0-9]*\\)|[\\s]*)", " float(53) "},
        // 14. Key declaration lines go, with the line feed in front and the comma at their end;
        // keys are created afterwards from the index list. Only lines that start with a key
        // keyword are key lines: a column such as api_key or monkey stays. A column named key,
        // index, primary, unique or constraint is [bracketed] by now and cannot match.
        {"\\n\\s*(primary\\skey|unique\\skey|unique\\sindex|fulltext\\skey|fulltext\\sindex"
         "|spatial\\skey|spatial\\sindex|key|index|constraint\\s[^\\n]*\\sforeign\\skey"
         "|foreign\\skey)\\s[^\\n]*",
         ""},
        // 15. The comma left in front of the closing parenthesis.
        {",\\n\\)", "\n)"},
        // 16. A default ... on update ... pair in the form an older chain left it; with the
        // clauses handled above it no longer occurs, and the rule stays as a safety net.
        {"default\\scurrent_.*\\son\\supdate\\scurrent_.*,", ","},
    };
    return chain;
}

#undef COLUMN_NAME

std::string RequoteIdentifiers(std::string_view lowered) {
    std::string out;
    out.reserve(lowered.size() + 16);
    size_t i = 0;
    while (i < lowered.size()) {
        char c = lowered[i];
        if (c == '\'') {
            // A string literal: copied as it stands, with '' and \' escapes.
            size_t end = i + 1;
            while (end < lowered.size()) {
                if (lowered[end] == '\\' && end + 1 < lowered.size()) {
                    end += 2;
                } else if (lowered[end] == '\'') {
                    if (end + 1 < lowered.size() && lowered[end + 1] == '\'') {
                        end += 2;
                    } else {
                        break;
                    }
                } else {
                    ++end;
                }
            }
            end = end < lowered.size() ? end + 1 : end;
            out.append(lowered.substr(i, end - i));
            i = end;
        } else if (c == '`') {
            // A quoted identifier; "``" inside stands for one backquote.
            std::string name;
            size_t end = i + 1;
            while (end < lowered.size()) {
                if (lowered[end] == '`') {
                    if (end + 1 < lowered.size() && lowered[end + 1] == '`') {
                        name.push_back('`');
                        end += 2;
                        continue;
                    }
                    break;
                }
                name.push_back(lowered[end++]);
            }
            out += QuoteTargetName(name);
            i = end < lowered.size() ? end + 1 : end;
        } else {
            out.push_back(c);
            ++i;
        }
    }
    return out;
}

std::string RewriteTableDefinition(std::string_view definition) {
    std::string text = LowerAscii(definition);
    // The table options after the last closing parenthesis go. A text without one has nothing to
    // cut and is rewritten as it is.
    size_t last = text.rfind(')');
    if (last != std::string::npos) text.resize(last + 1);
    text = RequoteIdentifiers(text);
    EraseAll(text, "unsigned");
    EraseAll(text, "auto_increment");
    for (const RewriteRule& rule : TableRuleChain()) {
        text = ReplaceAll(text, rule.pattern, rule.replacement);
    }
    text.push_back('\n');
    return text;
}

}  // namespace velmora
