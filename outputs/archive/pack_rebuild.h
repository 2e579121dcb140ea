#pragma once
// PackRebuild: a survey's records read back as rows of version 1 (its tables,
// or the views over the packs, which have their columns) and packed as a push
// packs them: a pack ends where record numbers or byte offsets skip or a kept
// damaged stretch lies between; each pack keeps when its last record was
// pushed.
//
// - Every record (moving version 1 forward): the packs go in by COPY in
//   steps, with the hourly figures summed from them.
// - One hour (`hour`, zarnlog db compact): the hour's records are read whole,
//   its packs go, and the new ones take their place; the hourly figures are
//   there already.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "outputs/archive/archive_connection.h"
#include "outputs/archive/archive_packs.h"
#include "outputs/archive/hourly_figures.h"

namespace zarn {

struct RecordSource {
    const char* records;
    const char* readings;
    const char* sweeps;
};
extern const RecordSource kVersion1Tables;
extern const RecordSource kPackViews;

class PackRebuild {
public:
    PackRebuild(ArchiveConnection& db, int32_t survey, std::string site, const RecordSource& source,
                std::optional<long long> hour = std::nullopt);
    bool run(std::string& error);
    size_t packsWritten() const { return written_; }

private:
    struct Kept {
        int64_t offset, length;
    };
    bool chunk(int64_t from, int64_t& next, bool& more, std::string& error);
    bool copyPacks(std::string& error);
    bool addHourly(std::string& error);
    bool follows(int64_t recordNo, int64_t offset) const;

    ArchiveConnection& db_;
    int32_t survey_;
    std::string site_;
    RecordSource source_;
    std::optional<long long> hour_;  // Unix seconds
    PackBuilder packs_;
    HourlyFigures hourly_;
    size_t sinceHourly_ = 0, written_ = 0;
    std::vector<Kept> kept_;
    int64_t lastNo_ = -2, lastOffset_ = -1;
};

}  // namespace zarn
