// TypeFit: whether a type chosen by the type map can hold a column's values. The kinds must go
// together (numbers into numbers or text, text into text, dates into dates or text, bytes into
// bytes); within a kind the column's actual values decide: its smallest and largest value, its
// longest value, and whether a value has a fraction the target would round or a character a
// varchar cannot keep. Pure: the conversion reads the figures (ColumnFigures) from the source.
// Any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "translation/TableModel.h"

namespace velmora {

// What the conversion must read from the source for one column and target type.
struct FigureNeeds {
    bool range = false;        // MIN and MAX
    bool length = false;       // the longest value, in characters, UTF-16 units and bytes
    bool ascii = false;        // a value holding a character outside ASCII
    int roundedScale = -1;     // >= 0: a value that rounding to this many digits changes
};

// The column's values, as MySQL prints them; nothing where the column holds no non-NULL value
// or the figure was not asked for.
struct ColumnFigures {
    std::optional<std::string> minimum, maximum;
    std::optional<std::string> longest;  // the longest value itself
    long long longestCharacters = 0, longestUnits = 0, longestBytes = 0;
    std::optional<std::string> nonAscii;  // a value with a character outside ASCII
    std::optional<std::string> rounded;   // a value that rounding changes
};

struct TypeFitPlan {
    std::string refusal;  // the kinds do not go together: the reason; nothing is read then
    FigureNeeds needs;
};

// What must be read to decide whether `targetType` can hold the values of `column`.
TypeFitPlan PlanTypeFit(const ColumnModel& column, std::string_view targetType);

// "" when every value fits; else which value does not, and why ("4294967295, which int cannot
// hold (-2147483648 to 2147483647)").
std::string JudgeTypeFit(const ColumnModel& column, std::string_view targetType, const ColumnFigures& figures);

}  // namespace velmora
