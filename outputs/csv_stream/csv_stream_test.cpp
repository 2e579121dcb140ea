// The CSV stream on a pipe: zarnlog's rows, a signal while it waits on a reader that
// takes nothing, a reader gone, and the end's cancel while it waits.
#include "outputs/csv_stream/csv_stream.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "recording/log_reader.h"
#include "recording/synthetic_log.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;

struct Pipe {
    Pipe() { EXPECT_EQ(pipe(fds), 0); }
    ~Pipe() {
        closeEnd(0);
        closeEnd(1);
    }
    void closeEnd(int end) {
        if (fds[end] >= 0) close(fds[end]);
        fds[end] = -1;
    }
    std::string readAll() {
        std::string text;
        char buffer[4096];
        for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
        return text;
    }
    int fds[2] = {-1, -1};
};

// Spectrum records of a full cellular sweep, some 7 kB of CSV a row: a few fill a pipe.
std::vector<OutputRecord> sweeps(int count) {
    const std::string path = ::testing::TempDir() + "csv_stream_" + std::to_string(getpid()) + ".zrn";
    {
        SyntheticLog log(path, 50000);
        for (int k = 0; k < count; ++k) log.sweep(0, 1, 833, [k](uint16_t o) { return static_cast<int16_t>(-1700 - o % 50 - k); });
    }
    std::vector<OutputRecord> out;
    LogReader reader;
    LogHeader header;
    EXPECT_TRUE(reader.open(path) && reader.readHeader(header));
    forEachRecord(reader, [&](const LogRecord& r) {
        out.push_back({{r.offset, r.time, r.note, r.type, {r.payload, r.payload + r.length}}, header.pcsRaster, 0});
        return true;
    });
    std::filesystem::remove(path);
    return out;
}

std::string rowsOf(const std::vector<OutputRecord>& records) {
    CsvRows rows(records.front().pcsRaster);
    std::string text;
    for (const OutputRecord& r : records) rows.append(r.record(), text);
    return text;
}

// The records written on a thread of their own, as the fan-out does; what stopped it in `error`.
struct Writer {
    Writer(CsvStream& stream, const std::vector<OutputRecord>& records)
        : thread([this, &stream, &records] {
              try {
                  for (const OutputRecord& r : records) stream.record(r);
              } catch (const std::exception& e) {
                  error = e.what();
              }
              done = true;
          }) {}
    std::atomic<bool> done{false};
    std::string error;
    std::thread thread;
};

void noteSignal(int) {}

// A handler without SA_RESTART, as zarn-record's for SIGINT and SIGTERM: a wait it cuts is EINTR.
struct InterruptingSignal {
    InterruptingSignal() {
        struct sigaction action {};
        action.sa_handler = noteSignal;
        sigaction(SIGUSR1, &action, &before);
    }
    ~InterruptingSignal() { sigaction(SIGUSR1, &before, nullptr); }
    struct sigaction before {};
};

TEST(CsvStream, ASignalWhileTheReaderTakesNothingCutsNoRow) {
    const InterruptingSignal signal;
    const std::vector<OutputRecord> records = sweeps(20);
    Pipe pipe;
    CsvStream stream(pipe.fds[1], "standard output", CsvKind::Spectrum);
    Writer writer(stream, records);
    for (int k = 0; k < 10 && !writer.done; ++k) {  // the pipe is full after some 9 rows
        std::this_thread::sleep_for(20ms);
        pthread_kill(writer.thread.native_handle(), SIGUSR1);
    }
    EXPECT_FALSE(writer.done) << "the writer waits on the full pipe";
    std::string text;
    std::thread reader([&] { text = pipe.readAll(); });
    writer.thread.join();
    pipe.closeEnd(1);
    reader.join();
    EXPECT_EQ(writer.error, "");
    EXPECT_EQ(text, rowsOf(records)) << "every row whole, in order";
}

TEST(CsvStream, AReaderGoneFailsTheStreamWithTheReason) {
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);  // as on the fan-out's threads
    const std::vector<OutputRecord> records = sweeps(1);
    Pipe pipe;
    pipe.closeEnd(0);
    CsvStream stream(pipe.fds[1], "standard output", CsvKind::Spectrum);
    try {
        stream.record(records[0]);
        ADD_FAILURE() << "a write to a pipe without a reader succeeded";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "standard output: Broken pipe");
    }
    timespec none{};
    sigtimedwait(&pipeSignal, nullptr, &none);  // the SIGPIPE the write raised, taken off
    pthread_sigmask(SIG_UNBLOCK, &pipeSignal, nullptr);
}

TEST(CsvStream, TheEndsCancelStopsAWriteThatWaitsOnTheReader) {
    const std::vector<OutputRecord> records = sweeps(12);
    Pipe pipe;
    CsvStream stream(pipe.fds[1], "standard output", CsvKind::Spectrum);
    Writer writer(stream, records);
    std::this_thread::sleep_for(100ms);
    const auto cancelled = std::chrono::steady_clock::now();
    stream.cancel();
    writer.thread.join();
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, 1s);
    EXPECT_EQ(writer.error, "standard output: the reader took nothing more");
}

}  // namespace
}  // namespace zarn
