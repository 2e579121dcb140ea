#include "platform/message_box.h"

#include <atomic>
#include <cstdio>

namespace zarn {
namespace {
std::atomic<MessageBoxSink*> installedSink{nullptr};
std::atomic<MessageBoxSink*> platformBoxes{nullptr};
}  // namespace

void setMessageBoxSink(MessageBoxSink* sink) { installedSink = sink; }
void setPlatformMessageBoxes(MessageBoxSink* sink) { platformBoxes = sink; }

int AfxMessageBox(const std::string& text, uint32_t type, uint32_t) {
    if (MessageBoxSink* sink = installedSink.load()) return sink->showMessageBox(text.c_str(), type);
    if (MessageBoxSink* sink = platformBoxes.load()) return sink->showMessageBox(text.c_str(), type);
    std::fprintf(stderr, "%s\n", text.c_str());
    return IDOK;
}

}  // namespace zarn
