#include "platform/message_box.h"

#include <atomic>
#include <cstdio>

namespace zarn {
namespace {
std::atomic<MessageBoxSink*> installedSink{nullptr};
}

void setMessageBoxSink(MessageBoxSink* sink) { installedSink = sink; }

int AfxMessageBox(const char* text, uint32_t type) {
    if (MessageBoxSink* sink = installedSink.load()) return sink->showMessageBox(text, type);
    std::fprintf(stderr, "%s\n", text ? text : "");
    return IDOK;
}

}  // namespace zarn
