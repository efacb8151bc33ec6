#include "updates/database_figures.h"

namespace tolvar {

DatabaseFigures DatabaseFiguresOf(const SettingsRecord& settings,
                                  const std::function<std::string(double)>& dateText) {
    return DatabaseFigures{dateText(settings.LastUpdateDate()),
                           std::to_string(settings.LastUpdateSize()) + " bytes",
                           std::to_string(settings.TotalUpdates())};
}

}  // namespace tolvar
