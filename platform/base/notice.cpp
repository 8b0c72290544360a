#include "base/notice.h"

#include <cstdio>
#include <mutex>
#include <set>

namespace vlt::base {
namespace {

struct Notices {
    std::mutex lock;
    std::set<std::string> said;
    std::function<void(const std::string&)> sink;
};

Notices& notices() {
    static Notices* n = new Notices;  // never destroyed: notices may come from static destructors
    return *n;
}

}  // namespace

void noticeOnce(const std::string& message) {
    Notices& n = notices();
    std::function<void(const std::string&)> sink;
    {
        std::lock_guard<std::mutex> guard(n.lock);
        if (!n.said.insert(message).second) return;
        sink = n.sink;
    }
    if (sink) sink(message);
    else std::fprintf(stderr, "VLT: %s\n", message.c_str());
}

void setNoticeSink(std::function<void(const std::string&)> sink) {
    Notices& n = notices();
    std::lock_guard<std::mutex> guard(n.lock);
    n.sink = std::move(sink);
    n.said.clear();
}

}  // namespace vlt::base
