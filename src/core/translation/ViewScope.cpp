// ViewScope: see the header.
#include "translation/ViewScope.h"

#include "translation/SqlParser.h"

namespace velmora {

ViewScope::ViewScope(const SqlQuery& query, const std::vector<TableModel>& tables, const ExpressionNames& names,
                     const ViewScope* outer)
    : outer_(outer) {
    for (const auto& ref : query.from) Add(*ref, tables, names);
}

void ViewScope::Add(const SqlTableRef& ref, const std::vector<TableModel>& tables, const ExpressionNames& names) {
    if (ref.kind == SqlTableRef::Kind::Join) {
        Add(*ref.left, tables, names);
        Add(*ref.right, tables, names);
        return;
    }
    Source source;
    source.ref = &ref;
    if (ref.kind == SqlTableRef::Kind::Derived) {
        source.name = ref.alias;
        source.exposed = LowerAscii(ref.alias);
        sources_.push_back(source);
        return;
    }
    const std::string& table = ref.nameParts.back();
    source.name = ref.alias.empty() ? table : ref.alias;
    source.exposed = LowerAscii(source.name);
    // Only tables of the view's own database are known by their definitions.
    if (ref.nameParts.size() == 1 || ref.nameParts[0] == names.sourceDatabase) {
        for (const TableModel& model : tables)
            if (LowerAscii(model.name) == LowerAscii(table)) source.model = &model;
    }
    sources_.push_back(source);
}

void ViewScope::ExposedNames(const SqlTableRef& ref, std::vector<std::string>& out) {
    if (ref.kind == SqlTableRef::Kind::Join) {
        ExposedNames(*ref.left, out);
        ExposedNames(*ref.right, out);
        return;
    }
    out.push_back(LowerAscii(ref.alias.empty() && ref.kind == SqlTableRef::Kind::Table ? ref.nameParts.back() : ref.alias));
}

const ViewScope::Source* ViewScope::Resolve(const SqlNode& name) const {
    if (name.kind != SqlNode::Kind::Name || name.Parts().empty()) return nullptr;
    if (name.Parts().size() >= 2) {
        const std::string qualifier = LowerAscii(name.Parts()[name.Parts().size() - 2]);
        for (const Source& source : sources_)
            if (source.exposed == qualifier) return &source;
        return nullptr;
    }
    const Source* found = nullptr;
    for (const Source& source : sources_) {
        if (!source.model) return nullptr;  // it might hold the column too
        if (!source.model->FindColumn(name.Parts()[0])) continue;
        if (found) return nullptr;  // ambiguous
        found = &source;
    }
    return found;
}

std::string ViewScope::Key(const SqlNode& name) const {
    const Source* source = Resolve(name);
    return source ? source->exposed + '\x1f' + LowerAscii(name.Parts().back()) : std::string();
}

const ColumnModel* ViewScope::Column(const SqlNode& name) const {
    for (const ViewScope* scope = this; scope; scope = scope->outer_) {
        const Source* source = scope->Resolve(name);
        if (source) return source->model ? source->model->FindColumn(name.Parts().back()) : nullptr;
        if (name.Parts().size() >= 2) continue;  // the qualifier names a table of an outer query
        // A bare name that this scope could hold shadows the outer ones.
        for (const Source& candidate : scope->sources_)
            if (!candidate.model || candidate.model->FindColumn(name.Parts()[0])) return nullptr;
    }
    return nullptr;
}

}  // namespace velmora
