// The entry files and frames that cross between processes.
#include <gtest/gtest.h>

#include <string>

#include "ipc/wire.h"

namespace vlt::test {
namespace {

using namespace ipc::wire;

Entry sample() {
    Entry e;
    e.pid = 4242;
    e.instance = 0x0123456789ABCDEFull;
    e.hwnd = 0x10003;
    e.created = 1700000000123456789ull;
    e.className = "Afx:400000:b";
    e.title = "Vaultine Tray";
    return e;
}

TEST(WireEntry, RoundTrip) {
    const Entry e = sample();
    const auto back = parseEntry(formatEntry(e));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pid, e.pid);
    EXPECT_EQ(back->instance, e.instance);
    EXPECT_EQ(back->hwnd, e.hwnd);
    EXPECT_EQ(back->created, e.created);
    EXPECT_EQ(back->className, e.className);
    EXPECT_EQ(back->title, e.title);

    Entry odd = e;
    odd.title = std::string("line\nbreak\0and 3:colon", 22);
    odd.className = "";
    const auto oddBack = parseEntry(formatEntry(odd));
    ASSERT_TRUE(oddBack);
    EXPECT_EQ(oddBack->title, odd.title);
    EXPECT_EQ(oddBack->className, "");
}

TEST(WireEntry, EveryTruncationAndDamageIsRefused) {
    const std::string text = formatEntry(sample());
    for (std::size_t n = 0; n < text.size(); ++n) EXPECT_FALSE(parseEntry(text.substr(0, n))) << n;
    EXPECT_FALSE(parseEntry(text + "x"));
    std::string longer = text;
    longer.replace(longer.find("title 13:"), 9, "title 14:");
    EXPECT_FALSE(parseEntry(longer));
    std::string zeroPid = text;
    zeroPid.replace(zeroPid.find("pid 4242"), 8, "pid 0000");
    EXPECT_FALSE(parseEntry(zeroPid));
    std::string padded = text;
    padded.replace(padded.find("pid 4242"), 8, "pid 04242");
    EXPECT_FALSE(parseEntry(padded)) << "one way to write a number, so entries read back to the same bytes";
    std::string huge = text;
    huge.replace(huge.find("hwnd 65539"), 10, "hwnd 99999999999999999999");
    EXPECT_FALSE(parseEntry(huge)) << "past 64 bits";
}

TEST(WireNames, ProcessIdLeadsEveryName) {
    EXPECT_EQ(socketName(77, 0xAB), "77-00000000000000ab.sock");
    EXPECT_EQ(entryName(77, 0xAB, 0x10003), "77-00000000000000ab-10003.win");
    EXPECT_EQ(pidOfName(entryName(77, 0xAB, 0x10003)), 77);
    EXPECT_EQ(pidOfName("x-1.win"), 0);
    EXPECT_EQ(pidOfName("77.win"), 0);
    EXPECT_EQ(pidOfName("0-1.win"), 0);
    EXPECT_EQ(pidOfName("99999999999-1.win"), 0);
}

TEST(WireFrames, RequestAndReplyRoundTripAndBadFramesAreRefused) {
    Request r;
    r.kind = Kind::Post;
    r.instance = 0xFEEDFACECAFEBEEFull;
    r.hwnd = 0x10003;
    r.msg = 0x0410;
    r.wParam = ~std::uint64_t{0};
    r.lParam = static_cast<std::uint64_t>(-5);
    auto bytes = encode(r);
    const auto back = decodeRequest(bytes.data());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind, Kind::Post);
    EXPECT_EQ(back->instance, r.instance);
    EXPECT_EQ(back->hwnd, r.hwnd);
    EXPECT_EQ(back->msg, r.msg);
    EXPECT_EQ(back->wParam, r.wParam);
    EXPECT_EQ(back->lParam, r.lParam);
    EXPECT_EQ(bytes[0], 'V') << "little-endian magic";

    bytes[6] = 9;  // no such kind
    EXPECT_FALSE(decodeRequest(bytes.data()));
    bytes = encode(r);
    bytes[4] = 2;  // another version
    EXPECT_FALSE(decodeRequest(bytes.data()));

    Reply reply;
    reply.status = Status::Delivered;
    reply.result = 77;
    auto rb = encode(reply);
    const auto replyBack = decodeReply(rb.data());
    ASSERT_TRUE(replyBack);
    EXPECT_EQ(replyBack->status, Status::Delivered);
    EXPECT_EQ(replyBack->result, 77u);
    rb[4] = 7;
    EXPECT_FALSE(decodeReply(rb.data()));
    EXPECT_FALSE(decodeReply(bytes.data())) << "a request is not a reply";
}

}  // namespace
}  // namespace vlt::test
