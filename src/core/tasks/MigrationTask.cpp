#include "tasks/MigrationTask.h"

namespace velmora {

const char* PhaseText(TaskPhase phase) {
    switch (phase) {
        case TaskPhase::Waiting: return "Waiting";
        case TaskPhase::Working: return "Working";
        case TaskPhase::Success: return "SUCCESS";
        case TaskPhase::Failure: return "FAILURE";
    }
    return "";
}

std::string CutToSlot(std::string_view text, size_t slotBytes) {
    if (text.size() < slotBytes) return std::string(text);
    size_t end = slotBytes - 1;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end));
}

const char* TaskTypeText(TaskType type) {
    if (type == TaskType::VerifyDatabase || type == TaskType::VerifyTable) return "VERIFY";
    return static_cast<int>(type) >= 512 ? "BACKUP" : "MIGRATION";
}

MigrationTask::MigrationTask(TaskType type, std::time_t stamp) : type(type), stamp(stamp) {}

}  // namespace velmora
