#include "rwp_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_rwp_peer.h"

using qztest::Bytes;
using qztest::Reply;

namespace {

qztest::RwpRequest SentRequest(const CProtoBase& stream) {
    return qztest::DecodeRequest(Bytes(stream.SendData(), stream.SendData() + stream.SendLength()));
}

int Feed(CProtoBase& stream, const Bytes& datagram) {
    return stream.ParseReply(datagram.data(), datagram.size());
}

}  // namespace

TEST(RwpStream, BuildRequestLaysOutTheFirstRequest) {
    CRwpStream stream;
    const uint8_t further[3] = {9, 8, 7};
    stream.SetFurtherData(further, sizeof(further));
    const uint8_t params[4] = {1, 6, 0xAA, 0xBB};
    ASSERT_TRUE(stream.BuildRequest("EXEC SCANNER CONNECT:", params, sizeof(params)));
    ASSERT_EQ(stream.SendLength(), 510u);
    const uint8_t* out = stream.SendData();
    EXPECT_EQ(out[0] << 8 | out[1], 1);
    EXPECT_EQ(out[2] << 8 | out[3], 0x0001);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out + 4), 21), "EXEC SCANNER CONNECT:");
    EXPECT_EQ(0, memcmp(out + 4 + 21, params, sizeof(params)));
    EXPECT_EQ(out[4 + 25], 0);
    EXPECT_EQ(out[84] << 8 | out[85], 0);
    EXPECT_EQ(out[86] << 8 | out[87], 512);
    EXPECT_EQ(0, memcmp(out + 88, further, sizeof(further)));
    EXPECT_EQ(out[509], 0);
}

TEST(RwpStream, BuildRequestRefusesTextsThatDoNotFit) {
    CRwpStreamRecv stream;
    const uint8_t param = 1;
    EXPECT_FALSE(stream.BuildRequest(nullptr, nullptr, 0));
    EXPECT_FALSE(stream.BuildRequest("", nullptr, 0));
    EXPECT_TRUE(stream.BuildRequest(std::string(80, 'T').c_str(), nullptr, 0));
    EXPECT_FALSE(stream.BuildRequest(std::string(80, 'T').c_str(), &param, 1));
    EXPECT_FALSE(stream.BuildRequest(std::string(200, 'T').c_str(), nullptr, 0));
    EXPECT_FALSE(stream.BuildRequest("EXEC SCANNER CONNECT:", Bytes(60).data(), 60));
}

TEST(RwpStreamRecv, ReassemblesThreeFragmentsAndSendsEnd) {
    CRwpStreamRecv stream;
    uint8_t reply[2048] = {};
    stream.SetReplyBuffer(reply, sizeof(reply));
    ASSERT_TRUE(stream.BuildRequest("GET USB_DEVICE_LIST", nullptr, 0));
    const Bytes body = qztest::Pattern(1300);

    EXPECT_EQ(Feed(stream, Reply(1, 1, 0, Bytes(body.begin(), body.begin() + 512))), kRwpParsed);
    EXPECT_EQ(SentRequest(stream).type, 2);
    EXPECT_EQ(SentRequest(stream).offset, 512);
    EXPECT_EQ(SentRequest(stream).command, "GET USB_DEVICE_LIST");
    EXPECT_EQ(stream.SendLength(), 88u);

    EXPECT_EQ(Feed(stream, Reply(2, 1, 512, Bytes(body.begin() + 512, body.begin() + 1024))),
              kRwpParsed);
    EXPECT_EQ(SentRequest(stream).offset, 1024);
    EXPECT_EQ(Feed(stream, Reply(2, 0, 1024, Bytes(body.begin() + 1024, body.end()))), kRwpParsed);
    EXPECT_TRUE(stream.Done());
    EXPECT_EQ(SentRequest(stream).type, 3);
    EXPECT_EQ(SentRequest(stream).offset, 1300);

    EXPECT_EQ(Feed(stream, Reply(3, 0, 1300, {})), kRwpComplete);
    EXPECT_EQ(stream.ReceivedLength(), 1300u);
    EXPECT_EQ(Bytes(reply, reply + 1300), body);
}

TEST(RwpStreamRecv, EightByteReplyEndsTheDataPhaseAtOnce) {
    CRwpStreamRecv stream;
    uint8_t reply[64];
    stream.SetReplyBuffer(reply, sizeof(reply));
    ASSERT_TRUE(stream.BuildRequest("GET STORAGE_LIST", nullptr, 0));
    EXPECT_EQ(Feed(stream, Reply(1, 0, 0, {})), kRwpParsed);
    EXPECT_TRUE(stream.Done());
    EXPECT_EQ(SentRequest(stream).type, 3);
    EXPECT_EQ(SentRequest(stream).offset, 0);
    EXPECT_EQ(Feed(stream, Reply(3, 0, 0, {})), kRwpComplete);
    EXPECT_EQ(stream.ReceivedLength(), 0u);
}

TEST(RwpStreamRecv, RejectsMalformedRepliesWithoutChangingState) {
    CRwpStreamRecv stream;
    uint8_t reply[1024] = {};
    stream.SetReplyBuffer(reply, sizeof(reply));
    ASSERT_TRUE(stream.BuildRequest("GET USB_DEVICE_LIST", nullptr, 0));
    ASSERT_EQ(Feed(stream, Reply(1, 1, 0, Bytes(512, 'a'))), kRwpParsed);

    const Bytes rejected[] = {
        Bytes{0, 2, 0, 1, 2, 0, 0},                  // shorter than a header
        Reply(2, 1, 512, Bytes(20, 'b'), 21),        // length beyond the datagram
        Reply(2, 1, 512, Bytes(20, 'b'), 0xFFFF),
        Reply(1, 1, 512, Bytes(20, 'b')),            // type 1 while type 2 was asked
        Reply(3, 0, 512, {}),
        Reply(2, 2, 512, Bytes(20, 'b')),            // more neither 0 nor 1
        Reply(2, 0x100, 512, Bytes(20, 'b')),
        Reply(2, 1, 600, Bytes(20, 'b')),            // gap: beyond the count received
    };
    for (const Bytes& datagram : rejected) EXPECT_EQ(Feed(stream, datagram), kRwpRejected);
    EXPECT_EQ(stream.ParseReply(nullptr, 100), kRwpRejected);
    EXPECT_EQ(stream.ReceivedLength(), 512u);
    EXPECT_EQ(SentRequest(stream).offset, 512);
    EXPECT_EQ(reply[512], 0);

    // A retry at the same offset still completes the exchange.
    EXPECT_EQ(Feed(stream, Reply(2, 0, 512, Bytes(20, 'b'))), kRwpParsed);
    EXPECT_EQ(stream.ReceivedLength(), 532u);
}

TEST(RwpStreamRecv, DuplicatesAreNotTakenAgain) {
    CRwpStreamRecv stream;
    uint8_t reply[2048] = {};
    stream.SetReplyBuffer(reply, sizeof(reply));
    ASSERT_TRUE(stream.BuildRequest("GET USB_DEVICE_LIST", nullptr, 0));
    ASSERT_EQ(Feed(stream, Reply(1, 1, 0, Bytes(512, 'a'))), kRwpParsed);
    ASSERT_EQ(Feed(stream, Reply(2, 1, 512, Bytes(512, 'b'))), kRwpParsed);
    EXPECT_EQ(Feed(stream, Reply(2, 1, 512, Bytes(512, 'b'))), kRwpDuplicate);
    EXPECT_EQ(Feed(stream, Reply(2, 1, 0, Bytes(5, 'z'))), kRwpDuplicate);
    EXPECT_EQ(stream.ReceivedLength(), 1024u);
    EXPECT_EQ(reply[0], 'a');

    // An empty "more" fragment is taken once; its repeat makes no progress.
    EXPECT_EQ(Feed(stream, Reply(2, 1, 1024, {})), kRwpParsed);
    EXPECT_EQ(Feed(stream, Reply(2, 1, 1024, {})), kRwpDuplicate);
    EXPECT_EQ(Feed(stream, Reply(2, 0, 1024, Bytes(3, 'c'))), kRwpParsed);
    EXPECT_EQ(stream.ReceivedLength(), 1027u);
}

TEST(RwpStreamRecv, FragmentBeyondTheReplyBufferIsNotCopied) {
    CRwpStreamRecv stream;
    uint8_t reply[600 + 16];
    memset(reply, 0xCC, sizeof(reply));
    stream.SetReplyBuffer(reply, 600);
    ASSERT_TRUE(stream.BuildRequest("GET USB_DEVICE_LIST", nullptr, 0));
    ASSERT_EQ(Feed(stream, Reply(1, 1, 0, Bytes(512, 'a'))), kRwpParsed);
    EXPECT_EQ(Feed(stream, Reply(2, 0, 512, Bytes(89, 'b'))), kRwpOverflow);
    EXPECT_EQ(reply[512], 0xCC);
    EXPECT_EQ(stream.ReceivedLength(), 512u);
    EXPECT_EQ(Feed(stream, Reply(2, 0, 512, Bytes(88, 'b'))), kRwpParsed);
    EXPECT_EQ(reply[599], 'b');
    EXPECT_EQ(reply[600], 0xCC);
}

TEST(RwpStreamRecv, WithoutReplyBufferOnlyTheBookkeepingRuns) {
    CRwpStreamRecv stream;
    ASSERT_TRUE(stream.BuildRequest("GET USB_DEVICE_LIST", nullptr, 0));
    ASSERT_EQ(Feed(stream, Reply(1, 1, 0, Bytes(512, 'a'))), kRwpParsed);
    ASSERT_EQ(Feed(stream, Reply(2, 0, 512, Bytes(100, 'b'))), kRwpParsed);
    EXPECT_EQ(stream.ReceivedLength(), 612u);
    EXPECT_EQ(SentRequest(stream).offset, 612);
    EXPECT_EQ(Feed(stream, Reply(3, 0, 612, Bytes(4, 'e'))), kRwpComplete);
}

TEST(RwpStreamRecv, EndReplyDataAreCopiedOnlyWhenTheyFit) {
    uint8_t reply[16];
    for (size_t endLength : {size_t(16), size_t(17)}) {
        CRwpStreamRecv stream;
        memset(reply, 0, sizeof(reply));
        stream.SetReplyBuffer(reply, sizeof(reply));
        ASSERT_TRUE(stream.BuildRequest("EXEC SAFE REMOVE:", nullptr, 0));
        ASSERT_EQ(Feed(stream, Reply(1, 0, 0, Bytes(2, 'o'))), kRwpParsed);
        EXPECT_EQ(Feed(stream, Reply(3, 0, 2, Bytes(endLength, 'E'))), kRwpComplete);
        bool fits = endLength <= sizeof(reply);
        EXPECT_EQ(stream.ReceivedLength(), fits ? endLength : 2u);
        EXPECT_EQ(reply[0], fits ? 'E' : 'o');
    }
    CRwpStreamRecv stream;
    ASSERT_TRUE(stream.BuildRequest("EXEC SAFE REMOVE:", nullptr, 0));
    ASSERT_EQ(Feed(stream, Reply(1, 0, 0, {})), kRwpParsed);
    EXPECT_EQ(Feed(stream, Reply(3, 0, 0, Bytes(10, 'E'), 11)), kRwpRejected);
}

TEST(RwpStreamRecv, BuildRequestStartsAFreshExchange) {
    CRwpStreamRecv stream;
    uint8_t reply[1024];
    stream.SetReplyBuffer(reply, sizeof(reply));
    ASSERT_TRUE(stream.BuildRequest("GET USB_DEVICE_LIST", nullptr, 0));
    ASSERT_EQ(Feed(stream, Reply(1, 0, 0, Bytes(300, 'a'))), kRwpParsed);
    ASSERT_TRUE(stream.BuildRequest("GET STORAGE_LIST", nullptr, 0));
    EXPECT_FALSE(stream.Done());
    EXPECT_EQ(stream.ReceivedLength(), 0u);
    EXPECT_EQ(SentRequest(stream).type, 1);
    EXPECT_EQ(SentRequest(stream).offset, 0);
    EXPECT_EQ(SentRequest(stream).command, "GET STORAGE_LIST");
    EXPECT_EQ(Feed(stream, Reply(1, 0, 0, Bytes(10, 'b'))), kRwpParsed);
    EXPECT_EQ(stream.ReceivedLength(), 10u);
}

TEST(RwpStreamRecv, GrowingReplyBufferTakesWhatAFixedOneOfItsLimitTakes) {
    const Bytes body = qztest::Pattern(3000);
    CRwpStreamRecv stream;
    std::vector<uint8_t> store;
    stream.SetGrowingReplyBuffer(&store, 2600);
    ASSERT_TRUE(stream.BuildRequest("GET USB_DEVICE_LIST", nullptr, 0));
    EXPECT_EQ(Feed(stream, Reply(1, 0, 0, {})), kRwpParsed);  // an empty reply needs no bytes
    EXPECT_TRUE(store.empty());

    ASSERT_TRUE(stream.BuildRequest("GET USB_DEVICE_LIST", nullptr, 0));
    for (size_t offset = 0; offset < 2560; offset += 512) {
        Bytes part(body.begin() + offset, body.begin() + offset + 512);
        ASSERT_EQ(Feed(stream, Reply(offset ? 2 : 1, 1, static_cast<uint16_t>(offset), part)), kRwpParsed);
    }
    EXPECT_EQ(Feed(stream, Reply(2, 0, 2560, Bytes(41, 'x'))), kRwpOverflow);
    EXPECT_EQ(stream.ReceivedLength(), 2560u);
    EXPECT_EQ(Feed(stream, Reply(2, 0, 2560, Bytes(body.begin() + 2560, body.begin() + 2600))), kRwpParsed);
    EXPECT_EQ(store.size(), 2600u);
    EXPECT_EQ(Bytes(store.begin(), store.end()), Bytes(body.begin(), body.begin() + 2600));

    // End reply data: copied when they fit the limit; the buffer never shrinks.
    ASSERT_TRUE(stream.BuildRequest("EXEC SAFE REMOVE:", nullptr, 0));
    ASSERT_EQ(Feed(stream, Reply(1, 0, 0, Bytes(2, 'o'))), kRwpParsed);
    EXPECT_EQ(Feed(stream, Reply(3, 0, 2, Bytes(16, 'E'))), kRwpComplete);
    EXPECT_EQ(stream.ReceivedLength(), 16u);
    EXPECT_EQ(store[0], 'E');
    EXPECT_EQ(store.size(), 2600u);
}
