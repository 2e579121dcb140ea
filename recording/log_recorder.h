#pragma once
// LogRecorder: the application's one log-file object, as the decoder on the
// link thread and the main frame on the user-interface thread share it.
//
// The decoder stages records through it at any moment; the user-interface
// thread replaces and removes the object. The guard makes sure the link
// thread never stages into an object that is being destroyed.

#include <memory>
#include <mutex>
#include <string>

#include "board/board_state.h"
#include "recording/log_file.h"

namespace zarn {

// What starts with a log and stops with it, such as the track of positions
// beside it. Both calls come on the thread that starts and stops logs.
struct LogCompanion {
    virtual ~LogCompanion() = default;
    virtual void start(const std::string& logPath) = 0;
    virtual void stop() = 0;
};

class LogRecorder : public RecordSink {
public:
    void setPendingRecord(uint8_t type, const uint8_t* bytes, int length) override;

    // Opens a new log at hostPath and makes it the log object, then sets
    // logging. On failure logging is 0, no log object remains and errorText
    // holds the system's reason. 0 or -1.
    int startLog(BoardState& board, const std::string& hostPath, const std::string& shownPath,
                 std::string& errorText, LocalTimeSource clock = currentLocalTime, FlushCall flush = {});
    // Ends the log as the user stops it: clears logging and detaches the log
    // first, so that nothing the link thread stages from then on joins it,
    // then writes the records staged before and closes it. -1 with errorText
    // at the first failed write; the log is closed either way.
    int finishLog(BoardState& board, std::string& errorText);
    // Clears logging, then closes and destroys the log object, if any, with
    // whatever it still had staged: after a failed write.
    void stopLog(BoardState& board);
    // Writes every staged record with one flush (into `written` too, when
    // given). -1 with errorText when the write failed.
    int writePendingRecord(std::string& errorText, std::vector<WrittenRecord>* written = nullptr);
    void setNote(const std::string& text);
    // A marker, as the screens' INC box sets one: the board's marker count goes up and
    // the next record's note is `text`, or "Marker #n" without one.
    void noteMarker(BoardState& board, const std::string& text = {});
    // The same, but after the markers still waiting for a record: one a record, in order.
    void queueMarker(BoardState& board, const std::string& text = {});
    // A note for a record of its own, in turn with the markers waiting.
    void queueNote(const std::string& text);
    size_t notesWaiting() const;
    size_t droppedRecords() const;  // by the log now open
    // `companion` (or none) starts and stops with each log from the next start
    // on; one that was started with the current log and is replaced stops now.
    void setCompanion(LogCompanion* companion);
    // Logs started from then on open with the board's version and serial-number
    // records, for a recorder whose logs begin with the measurement already open.
    void openWithBoardIdentity(bool on) { openWithIdentity_ = on; }
    uint64_t fileLength() const;
    bool hasLog() const;
    size_t stagedCount() const;  // records staged and not yet written

private:
    std::unique_ptr<CLogFile> swap(std::unique_ptr<CLogFile> next);
    void stopCompanion();
    static std::string markerText(BoardState& board, const std::string& text);

    mutable std::mutex mutex_;
    std::unique_ptr<CLogFile> log_;  // replaced only on the user-interface thread
    LogCompanion* companion_ = nullptr;
    LogCompanion* startedCompanion_ = nullptr;
    bool openWithIdentity_ = false;
};

// The process-wide recorder; the decoder's record sink.
LogRecorder& logRecorder();

}  // namespace zarn
