// FullRoutineTranslator: the entry point; procedures and functions (their header, parameters and
// body). Triggers are in TriggerTranslator.cpp.
#include "translation/FullRoutineTranslator.h"

#include <set>
#include <stdexcept>

#include "translation/BatchSafety.h"
#include "translation/InputLimits.h"
#include "translation/Naming.h"
#include "translation/RoutineParser.h"
#include "translation/RoutineWriter.h"
#include "translation/SqlModes.h"
#include "translation/SqlParser.h"
#include "translation/SqlTokenizer.h"
#include "translation/TriggerTranslator.h"

namespace velmora {
namespace {

// The user variables that PREPARE takes its text from: they become variables of the routine.
void AllowPreparedVariables(const RoutineStatement& statement, RoutineWriter& writer) {
    if (statement.kind == RoutineStatement::Kind::Prepare && statement.expr && statement.expr->kind == SqlNode::Kind::Name &&
        statement.expr->Parts().size() == 1 && statement.expr->Parts()[0].rfind('@', 0) == 0)
        writer.AllowUserVariable(statement.expr->Parts()[0]);
    for (const auto& inner : statement.body) AllowPreparedVariables(*inner, writer);
    for (const auto& inner : statement.elseBody) AllowPreparedVariables(*inner, writer);
    for (const auto& branch : statement.branches)
        for (const auto& inner : branch.second) AllowPreparedVariables(*inner, writer);
}

bool EndsWithReturn(const RoutineStatement& body) {
    if (body.kind == RoutineStatement::Kind::Return) return true;
    return body.kind == RoutineStatement::Kind::Block && !body.body.empty() &&
           body.body.back()->kind == RoutineStatement::Kind::Return;
}

// The statements of a body's outermost block as the reader reads them: each is let go once the
// next is asked for, but the declarations, which the writer's scope refers to, are kept.
class ReadFeed : public StatementFeed {
public:
    explicit ReadFeed(RoutineReader& reader) : reader_(reader) {}

    const RoutineStatement* Next() override {
        if (current_ && current_->kind >= RoutineStatement::Kind::DeclareVariable &&
            current_->kind <= RoutineStatement::Kind::DeclareHandler)
            declarations_.push_back(std::move(current_));
        current_ = reader_.NextInBlock();
        if (current_) lastIsReturn_ = current_->kind == RoutineStatement::Kind::Return;
        return current_.get();
    }
    bool LastIsReturn() const { return lastIsReturn_; }

private:
    RoutineReader& reader_;
    RoutineStatementPtr current_;
    RoutineStatementList declarations_;
    bool lastIsReturn_ = false;
};

// The writer learns what it needs of the whole text before the first statement is written. A
// text that names PREPARE is read once more for it, a statement at a time.
void PrepareWriter(std::string_view text, RoutineWriter& writer) {
    writer.keepRowCount = ContainsAsciiNoCase(text, "row_count");
    writer.keepFoundRows = ContainsAsciiNoCase(text, "found_rows");
    if (ContainsAsciiNoCase(text, "prepare")) {
        RoutineReader reader(text);
        std::string label;
        if (!reader.OpenBlock(label)) AllowPreparedVariables(*reader.Body(), writer);
        while (RoutineStatementPtr statement = reader.NextInBlock()) AllowPreparedVariables(*statement, writer);
    }
    writer.AllowSessionVariables(text);
}

// CREATE PROCEDURE [schema.]name @a type, @b type OUTPUT AS BEGIN ... END; CREATE FUNCTION
// schema.name(...) RETURNS type AS BEGIN ... END (dbo in the default schema). A body that is a
// block is written as it is read.
void TranslateProcedureOrFunction(RoutineReader& reader, std::string_view text, const RoutineContext& context,
                                  FullRoutineTranslation& result) {
    const ParsedRoutine& routine = reader.header();
    const bool function = routine.kind == ParsedRoutine::Kind::Function;
    RoutineWriter writer(context, routine.kind, result.name);
    std::vector<std::string> parameters, resets;
    for (const auto& parameter : routine.parameters) {
        const std::string type = MapRoutineType(parameter.type);
        const std::string variable = writer.DeclareParameter(parameter.name);
        parameters.push_back(variable + " " + type + (parameter.mode == "in" ? "" : " OUTPUT"));
        // MySQL starts an OUT parameter as NULL, whatever the caller passed.
        if (parameter.mode == "out") resets.push_back("    SET " + variable + " = NULL;");
    }
    PrepareWriter(text, writer);
    bool endsWithReturn = false;
    if (std::string label; reader.OpenBlock(label)) {
        ReadFeed statements(reader);
        writer.WriteBlock(label, statements, 1, function);
        endsWithReturn = statements.LastIsReturn();
    } else {
        const RoutineStatementPtr body = reader.Body();
        if (function) writer.WriteInline(*body, 1);
        else writer.Write(*body, 1);
        endsWithReturn = EndsWithReturn(*body);
    }
    if (function && (!endsWithReturn || writer.LeavesInlineBlock())) {
        writer.lines.push_back("    " + writer.RaiseText("FUNCTION " + result.name + " ended without RETURN"));
        writer.lines.push_back("    RETURN NULL;");
    }
    writer.Finish();
    std::vector<std::string> lines;
    if (function) {
        std::string list;
        for (const auto& parameter : parameters) list += (list.empty() ? "" : ", ") + parameter;
        lines.push_back("CREATE FUNCTION " + TargetFunctionName(context.names.targetSchema, result.name) + "(" + list + ")");
        lines.push_back("RETURNS " + MapRoutineType(routine.returns));
    } else {
        lines.push_back("CREATE PROCEDURE " + TargetObjectName(context.names.targetSchema, result.name));
        for (std::size_t i = 0; i < parameters.size(); ++i)
            lines.push_back("    " + parameters[i] + (i + 1 < parameters.size() ? "," : ""));
    }
    lines.push_back("AS");
    lines.push_back("BEGIN");
    if (!function) lines.push_back("    SET NOCOUNT ON;");
    for (auto& line : writer.HelperDeclarations(1)) lines.push_back(std::move(line));
    lines.insert(lines.end(), resets.begin(), resets.end());
    // The head goes in front of the body's text, in place where its room allows.
    writer.lines.InsertAt(0, JoinLines(lines));
    writer.lines.push_back("END");
    result.statements.push_back(writer.lines.Joined());
    result.references = writer.references;
    result.adjustments = writer.adjustments;
}

FullRoutineTranslation Translate(std::string_view text, const RoutineContext& context) {
    RoutineReader reader(text);
    ParsedRoutine& routine = reader.header();
    FullRoutineTranslation result;
    result.name = routine.nameParts.back();
    if (routine.kind == ParsedRoutine::Kind::Trigger) {
        result.kind = RoutineKind::Trigger;
        result.table = routine.tableParts.back();
        routine.body = reader.Body();
        TranslateTrigger(routine, context, result, text);
        return result;
    }
    result.kind = routine.kind == ParsedRoutine::Kind::Function ? RoutineKind::Function : RoutineKind::Procedure;
    TranslateProcedureOrFunction(reader, text, context, result);
    return result;
}

FullRoutineTranslation Refused(std::string construct) {
    FullRoutineTranslation failed;
    failed.untranslatable = std::move(construct);
    return failed;
}

}  // namespace

std::string TranslatePreparedText(const std::string& text, const RoutineContext& context) {
    const FullRoutineTranslation inner = TranslateRoutineFull("CREATE PROCEDURE p() BEGIN " + text + "; END", context);
    if (!inner.ok()) throw Untranslatable{"the prepared statement's text: " + inner.untranslatable};
    // The statement between the procedure's own lines (CREATE, AS, BEGIN, SET NOCOUNT ON, BEGIN) and (END, END).
    std::string body, line;
    std::vector<std::string> lines;
    for (char c : inner.statements[0] + "\n") {
        if (c != '\n') {
            line += c;
            continue;
        }
        lines.push_back(line);
        line.clear();
    }
    for (std::size_t i = 5; i + 2 < lines.size(); ++i) {
        const std::size_t start = lines[i].find_first_not_of(' ');
        body += (body.empty() ? "" : "\n") + lines[i].substr(start == std::string::npos ? 0 : start);
    }
    if (lines.size() < 8 || lines[2] != "BEGIN" || lines[4] != "    BEGIN")
        throw Untranslatable{"the prepared statement's text"};
    return body;
}

KnownRoutine RoutineSignature(std::string_view createText, bool readBody) {
    KnownRoutine known;
    if (!StatementSizeProblem(createText.size()).empty()) return known;
    try {
        RoutineReader reader(createText);
        const ParsedRoutine& routine = reader.header();
        if (routine.kind == ParsedRoutine::Kind::Trigger) return known;
        // A body it cannot read gives no signature; read a statement at a time, none held.
        if (std::string label; readBody && !reader.OpenBlock(label)) reader.Body();
        while (readBody && reader.NextInBlock()) {}
        known.name = routine.nameParts.back();
        known.kind = routine.kind == ParsedRoutine::Kind::Function ? RoutineKind::Function : RoutineKind::Procedure;
        for (const auto& parameter : routine.parameters) {
            known.parameterModes.push_back(parameter.mode);
            known.parameterTypes.push_back(parameter.type.text);
        }
    } catch (const Untranslatable&) {
        known.name.clear();
    } catch (const std::out_of_range&) {
        known.name.clear();
    }
    return known;
}

FullRoutineTranslation TranslateRoutineFull(std::string_view createText, const RoutineContext& context) {
    try {
        if (std::string problem = StatementSizeProblem(createText.size()); !problem.empty()) return Refused(problem);
        if (std::string problem = NameProblemIn(createText); !problem.empty()) return Refused(problem);
        if (context.sqlMode.empty()) return Translate(createText, context);
        const SqlModeText text = InDefaultSqlMode(createText, context.sqlMode);
        return text.refusal.empty() ? Translate(text.In(createText), context) : Refused(text.refusal);
    } catch (const Untranslatable& problem) {
        return Refused(problem.construct);
    } catch (const std::out_of_range&) {  // a length, position or limit beyond any integer
        return Refused("number out of range");
    } catch (const std::invalid_argument&) {
        return Refused("unreadable number");
    }
}

}  // namespace velmora
