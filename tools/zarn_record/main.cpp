// zarn-record: survey recording from the receiver board without a screen.
#include "shell/record_options.h"
#include "tools/zarn_record/recording_session.h"
#include "tools/zarn_record/task_runner.h"

int main(int argc, char** argv) {
    zarn::RecordOptions options;
    if (const auto status = zarn::readRecordOptions(argc, argv, options)) return *status;
    return options.tasks ? zarn::runTasks(options) : zarn::runRecording(options);
}
