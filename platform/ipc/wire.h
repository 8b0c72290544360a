// What crosses between processes: the entry file of a published window, and the request and
// reply frames on a window socket. Integers are little-endian.
#pragma once

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/export.h"

VLT_EXPORT_BEGIN

namespace vlt::ipc::wire {

// One published window.
struct Entry {
    pid_t pid = 0;
    std::uint64_t instance = 0;  // random per listener, so a reused process id is not mistaken
    std::uint64_t hwnd = 0;      // the window's handle in its own process
    std::uint64_t created = 0;   // when it was first published (ns), newest wins
    std::string className;
    std::string title;
};

std::string formatEntry(const Entry& entry);
// nullopt for anything but a complete, well-formed entry.
std::optional<Entry> parseEntry(std::string_view text);

// File names inside the windows directory.
std::string socketName(pid_t pid, std::uint64_t instance);  // "<pid>-<instance>.sock"
std::string entryName(pid_t pid, std::uint64_t instance, std::uint64_t hwnd);  // "....win"
// The process id a file name of the directory starts with; 0 when none.
pid_t pidOfName(std::string_view name);

enum class Kind : std::uint16_t { Send = 1, Post = 2 };
enum class Status : std::uint32_t { Delivered = 0, NoWindow = 1, Refused = 2 };

struct Request {
    Kind kind = Kind::Send;
    std::uint64_t instance = 0;
    std::uint64_t hwnd = 0;
    std::uint32_t msg = 0;
    std::uint64_t wParam = 0;
    std::uint64_t lParam = 0;
};
struct Reply {
    Status status = Status::NoWindow;
    std::uint64_t result = 0;
};

inline constexpr std::size_t kRequestSize = 48;
inline constexpr std::size_t kReplySize = 16;

std::array<unsigned char, kRequestSize> encode(const Request& request);
std::array<unsigned char, kReplySize> encode(const Reply& reply);
// nullopt for a wrong magic, version or kind.
std::optional<Request> decodeRequest(const unsigned char* bytes);
std::optional<Reply> decodeReply(const unsigned char* bytes);

}  // namespace vlt::ipc::wire

VLT_EXPORT_END
