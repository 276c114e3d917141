#include "loader/host_driver.h"

#include "miniport/korvid.h"
#include "platform/videoport/reload.h"

namespace sim {

korvid_host::DriverImage host_miniport()
{
    return korvid_host::DriverImage{DriverEntry, korvid_host::reload_driver_data};
}

} // namespace sim
