#include "IcuTime.h"

#include "Text.h"

namespace IcuTime {

std::unique_ptr<icu::TimeZone> knownZone(const QString& name) {
    if (name.isEmpty())
        return nullptr;
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(Text::toIcu(name)));
    icu::UnicodeString id;
    if (!zone || zone->getID(id) == icu::UnicodeString(UCAL_UNKNOWN_ZONE_ID))
        return nullptr;
    return zone;
}

} // namespace IcuTime
