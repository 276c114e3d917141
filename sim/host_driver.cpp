#include "host_driver.h"

#include "korvid.h"
#include "videoport/reload.h"

namespace sim {

DriverImage host_miniport()
{
    return DriverImage{DriverEntry, korvid_host::reload_driver_data};
}

} // namespace sim
