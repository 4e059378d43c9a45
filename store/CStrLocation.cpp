#include "store/CStrLocation.h"

#include "core/CConfigurationZentrova.h"
#include "store/CStrCell.h"
#include "store/CStrLAC.h"

std::unique_ptr<CStrLocation> CStrLocation::GetInstance() {
    // The mode the location engine runs in is its stored setting.
    if (CConfigurationZentrova::GetInstance()->GetLongParameter("location_mode") != 0) {
        return std::make_unique<CStrCell>();
    }
    return std::make_unique<CStrLAC>();
}
