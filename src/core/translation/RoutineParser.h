// RoutineParser: reads a CREATE PROCEDURE, CREATE FUNCTION or CREATE TRIGGER text, as SHOW
// CREATE prints it, into the header and statement tree of RoutineSyntax.h; expressions and
// queries are read by SqlParser. Throws Untranslatable naming what it cannot read or what has no
// T-SQL counterpart at all. Pure; any thread.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <string_view>

#include "translation/RoutineSyntax.h"

namespace velmora {

// Reads a routine's header, then its body: whole (Body), or, for a body that is a BEGIN ... END
// block, one outermost statement at a time (OpenBlock, NextInBlock), so that the statements of a
// large body are never all held. The text must outlive the reader.
class RoutineReader {
public:
    explicit RoutineReader(std::string_view createText);  // reads the header
    ~RoutineReader();
    RoutineReader(const RoutineReader&) = delete;
    RoutineReader& operator=(const RoutineReader&) = delete;

    ParsedRoutine& header() { return header_; }  // without the body
    RoutineStatementPtr Body();
    // Whether the body is a block; if so, reads up to its first statement and gives its label.
    bool OpenBlock(std::string& label);
    // The block's next statement; null once its END and the end of the text are read.
    RoutineStatementPtr NextInBlock();

private:
    class BodyParser;
    std::deque<std::string> variableNames_;  // outlives the tokens that view it
    std::unique_ptr<BodyParser> parser_;
    ParsedRoutine header_;
};

}  // namespace velmora
