#include "recording/log_recorder.h"

#include "board/log_records.h"

namespace zarn {

void LogRecorder::setPendingRecord(uint8_t type, const uint8_t* bytes, int length) {
    std::lock_guard lock(mutex_);
    if (log_) log_->setPendingRecord(type, bytes, length);
}

std::unique_ptr<CLogFile> LogRecorder::swap(std::unique_ptr<CLogFile> next) {
    std::lock_guard lock(mutex_);
    log_.swap(next);
    return next;
}

int LogRecorder::startLog(BoardState& board, const std::string& hostPath, const std::string& shownPath,
                          std::string& errorText, LocalTimeSource clock, FlushCall flush) {
    auto log = std::make_unique<CLogFile>(hostPath, std::move(clock), std::move(flush));
    if (log->openLog(board.pcsPlan.pcsRaster()) != 0) {
        errorText = log->errorText();
        stopLog(board);
        return -1;
    }
    if (openWithIdentity_) stageBoardIdentity(board, *log);  // before the decoder's first record
    board.logging = 0;
    swap(std::move(log));  // the replaced log is closed as it goes
    stopCompanion();
    board.logFileName = shownPath;
    board.logging = 1;
    if (companion_) companion_->start(hostPath);
    startedCompanion_ = companion_;
    return 0;
}

void LogRecorder::stopLog(BoardState& board) {
    board.logging = 0;
    swap(nullptr);
    stopCompanion();
}

void LogRecorder::stopCompanion() {
    if (startedCompanion_) startedCompanion_->stop();
    startedCompanion_ = nullptr;
}

void LogRecorder::setCompanion(LogCompanion* companion) {
    if (companion != startedCompanion_) stopCompanion();
    companion_ = companion;
}

int LogRecorder::finishLog(BoardState& board, std::string& errorText) {
    board.logging = 0;
    const std::unique_ptr<CLogFile> log = swap(nullptr);
    int result = 0;
    // Detached, nothing joins the queue: what it holds is one batch, one flush.
    if (log && log->writePendingRecord() != 0) {
        errorText = log->errorText();
        result = -1;
    }
    stopCompanion();  // after the last record, so that the track covers it
    return result;
}

int LogRecorder::writePendingRecord(std::string& errorText, std::vector<WrittenRecord>* written) {
    CLogFile* log = log_.get();  // only this thread replaces it
    if (!log) return 0;
    if (log->writePendingRecord(written) == 0) return 0;
    errorText = log->errorText();
    return -1;
}

void LogRecorder::setNote(const std::string& text) {
    if (log_) log_->setNote(text);
}

std::string LogRecorder::markerText(BoardState& board, const std::string& text) {
    ++board.markerCount;
    return text.empty() ? "Marker #" + std::to_string(board.markerCount) : text;
}

void LogRecorder::noteMarker(BoardState& board, const std::string& text) { setNote(markerText(board, text)); }

void LogRecorder::queueMarker(BoardState& board, const std::string& text) {
    const std::string note = markerText(board, text);
    if (log_) log_->queueNote(note);
}

void LogRecorder::queueNote(const std::string& text) {
    if (log_) log_->queueNote(text);
}

size_t LogRecorder::notesWaiting() const { return log_ ? log_->notesWaiting() : 0; }
size_t LogRecorder::droppedRecords() const { return log_ ? log_->droppedRecords() : 0; }

uint64_t LogRecorder::fileLength() const { return log_ ? log_->fileLength() : 0; }
bool LogRecorder::hasLog() const { return log_ != nullptr; }
size_t LogRecorder::stagedCount() const { return log_ ? log_->stagedCount() : 0; }

LogRecorder& logRecorder() {
    static LogRecorder recorder;
    return recorder;
}

}  // namespace zarn
