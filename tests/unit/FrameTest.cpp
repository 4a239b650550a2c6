#include <gtest/gtest.h>

#include "platform/AppleEvent.h"

using namespace tallowick::platform;

namespace {

AppleEvent sample() {
    AppleEvent e;
    e.eventClass = fourCharCode("GURL");
    e.eventID = fourCharCode("GURL");
    e.parameters.push_back({fourCharCode("UCMS"), fourCharCode("utf8"), "payload"});
    e.parameters.push_back({fourCharCode("XTRA"), 0, std::string("\0\1", 2)});
    return e;
}

std::string header(std::uint32_t count) {
    std::string h = "GURLGURL";
    for (int shift = 24; shift >= 0; shift -= 8)
        h.push_back(static_cast<char>((count >> shift) & 0xff));
    return h;
}

} // namespace

TEST(Frame, RoundTripsAndReportsIncompleteFrames) {
    const std::string bytes = frame::encode(sample());
    const auto whole = frame::decode(bytes + "next frame starts here");
    ASSERT_EQ(whole.status, frame::DecodeStatus::Complete);
    EXPECT_EQ(whole.consumed, bytes.size());
    ASSERT_EQ(whole.event.parameters.size(), 2u);
    EXPECT_EQ(whole.event.paramDescriptorForKeyword(fourCharCode("UCMS"))->data, "payload");
    EXPECT_EQ(whole.event.parameters[1].data, std::string("\0\1", 2));
    for (std::size_t cut = 0; cut < bytes.size(); ++cut)
        ASSERT_EQ(frame::decode(bytes.substr(0, cut)).status, frame::DecodeStatus::NeedMore) << cut;
}

TEST(Frame, RefusesFramesOverTheLimitsFromTheirHeaders) {
    EXPECT_EQ(frame::decode(header(17)).status, frame::DecodeStatus::Malformed);
    EXPECT_EQ(frame::decode(header(16)).status, frame::DecodeStatus::NeedMore);
    // One parameter announcing 2 MiB is refused before its data arrives.
    std::string big = header(1) + "UCMSutf8";
    const std::uint32_t length = 2u * 1024 * 1024;
    for (int shift = 24; shift >= 0; shift -= 8)
        big.push_back(static_cast<char>((length >> shift) & 0xff));
    EXPECT_EQ(frame::decode(big).status, frame::DecodeStatus::Malformed);
}

TEST(Frame, FourCharCodesNeedFourBytes) {
    EXPECT_EQ(fourCharCode(std::string_view("GURL")), fourCharCode("GURL"));
    EXPECT_FALSE(fourCharCode(std::string_view("GUR")).has_value());
    EXPECT_EQ(fourCharText(fourCharCode("UCMS")), "UCMS");
}
