#pragma once
// The sweeps' occupancy for `zarnlog report`: each log's sweeps through the
// one occupancy counter (survey/occupancy.h) during the second reading, each
// ended period summed per sweep point and folded into the picture's rows.
// Memory follows the points and the rows, not the logs' length.

#include "survey/occupancy.h"
#include "tools/zarnlog/report/report_model.h"

namespace zarn::report {

// The periods of the logs' span, before the second reading.
void beginOccupancy(ReportData& data);

class OccupancyTaker {
public:
    OccupancyTaker(ReportData& data, uint32_t pcsRaster);
    // A spectrum record within the window.
    void take(const LogRecord& r);
    // The period under way, once the log is read.
    void finish();

private:
    void add(const OccupancyPeriod& p);

    ReportData& data_;
    OccupancyCounter counter_;
    OccupancyPeriod ended_;
};

}  // namespace zarn::report
