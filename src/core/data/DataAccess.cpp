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

}  // namespace velmora
