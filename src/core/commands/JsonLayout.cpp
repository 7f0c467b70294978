#include "commands/JsonLayout.h"

namespace velmora {
namespace {

bool IsArrayOfObjects(const JsonDocument& value) {
    return value.is_array() && !value.empty() && value.front().is_object();
}

bool HoldsArrayOfObjects(const JsonDocument& value) {
    if (!value.is_object()) return false;
    for (const auto& member : value.items()) {
        if (IsArrayOfObjects(member.value())) return true;
    }
    return false;
}

std::string Scalar(const JsonDocument& value) {
    return value.dump(-1, ' ', false, JsonDocument::error_handler_t::replace);
}

// Everything on one line: {"a": 1, "b": [1, 2]}.
std::string Inline(const JsonDocument& value) {
    std::string out;
    if (value.is_object()) {
        out = "{";
        for (const auto& member : value.items()) {
            if (out.size() > 1) out += ", ";
            out += Scalar(JsonDocument(member.key())) + ": " + Inline(member.value());
        }
        return out + "}";
    }
    if (value.is_array()) {
        out = "[";
        for (const JsonDocument& element : value) {
            if (out.size() > 1) out += ", ";
            out += Inline(element);
        }
        return out + "]";
    }
    return Scalar(value);
}

std::string Laid(const JsonDocument& value, const std::string& indent) {
    const std::string inner = indent + "  ";
    if (IsArrayOfObjects(value)) {
        std::string out = "[";
        for (const JsonDocument& element : value) {
            out += (out.size() > 1 ? ",\n" : "\n") + inner + Laid(element, inner);
        }
        return out + "\n" + indent + "]";
    }
    if (!HoldsArrayOfObjects(value)) return Inline(value);
    std::string out = "{";
    for (const auto& member : value.items()) {
        out += (out.size() > 1 ? ",\n" : "\n") + inner + Scalar(JsonDocument(member.key())) + ": " +
               (IsArrayOfObjects(member.value()) || HoldsArrayOfObjects(member.value())
                    ? Laid(member.value(), inner)
                    : Inline(member.value()));
    }
    return out + "\n" + indent + "}";
}

}  // namespace

std::string LaidOutJson(const JsonDocument& document) {
    // The document itself always gets a line per member.
    if (!document.is_object() || HoldsArrayOfObjects(document)) return Laid(document, "") + "\n";
    std::string out = "{";
    for (const auto& member : document.items()) {
        out += (out.size() > 1 ? ",\n  " : "\n  ") + Scalar(JsonDocument(member.key())) + ": " +
               Inline(member.value());
    }
    return out + (out.size() > 1 ? "\n}\n" : "}\n");
}

}  // namespace velmora
