#include "data/DataAccess.h"

namespace velmora {

void PropertySet::Add(uint32_t id, PropertyValue value) {
    entries.push_back({id, std::move(value)});
}

void PropertySet::Set(uint32_t id, PropertyValue value) {
    for (Property& entry : entries) {
        if (entry.id == id) {
            entry.value = std::move(value);
            return;
        }
    }
    Add(id, std::move(value));
}

const PropertyValue* PropertySet::Find(uint32_t id) const {
    for (const Property& entry : entries) {
        if (entry.id == id) return &entry.value;
    }
    return nullptr;
}

std::optional<std::string> PropertySet::FindText(uint32_t id) const {
    const PropertyValue* value = Find(id);
    if (!value) return std::nullopt;
    if (const auto* text = std::get_if<std::string>(value)) return *text;
    return std::nullopt;
}

PropertySet StandardRowsetProperties() {
    PropertySet set;
    set.Add(kPropIRowset, true);
    set.Add(kPropUpdatability, int32_t{7});
    return set;
}

namespace {

bool IsGenericRecord(const std::string& message) {
    return message.find("The statement has been terminated.") != std::string::npos ||
           message.find("Unable to connect to data source") != std::string::npos;
}

std::string Describe(const DiagnosticRecord& record) {
    std::string text;
    if (!record.sqlState.empty()) text += "[" + record.sqlState + "] ";
    if (record.nativeError != 0) text += "(" + std::to_string(record.nativeError) + ") ";
    return text + record.message;
}

}  // namespace

std::string MostInformativeText(const std::vector<DiagnosticRecord>& records,
                                std::string_view fallback) {
    for (const DiagnosticRecord& record : records) {
        bool warning = record.sqlState.rfind("01", 0) == 0;
        if (!record.message.empty() && !warning && !IsGenericRecord(record.message)) {
            return Describe(record);
        }
    }
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (!it->message.empty()) return Describe(*it);
    }
    return std::string(fallback);
}

}  // namespace velmora
