#pragma once
// The main window's one status mark, from what the frame knows of the board
// and of the position source: "NO BOARD" in red while the board is lost, else
// "GPS" in green with a fix or amber while gpsd answers without one, else none.

#include "platform/ui/window_system.h"

namespace zarn {

enum class GpsMark { None, Searching, Fix };

class TitleMarks {
public:
    void setBoardLost(bool lost);
    void setGps(GpsMark gps);

    static WindowSystem::StatusMark markFor(bool boardLost, GpsMark gps);

private:
    void show();
    bool boardLost_ = false;
    GpsMark gps_ = GpsMark::None;
};

}  // namespace zarn
