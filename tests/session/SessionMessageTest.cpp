// The record a worker hands its window, and the receivers' length check.
#include "session/SessionMessage.h"

#include <gtest/gtest.h>

TEST(SessionMessage, EventWithoutPayloadHasLengthOneAndAnEmptyText)
{
    COPYDATASTRUCT r = MakeSessionMessage(TypeOf(SessionEvent::Connected), nullptr, 0);
    EXPECT_EQ(r.dwData, static_cast<ULONG_PTR>(10));
    EXPECT_EQ(r.cbData, 1u);
    ASSERT_NE(r.lpData, nullptr);
    EXPECT_EQ(static_cast<const char*>(r.lpData)[0], '\0');
}

TEST(SessionMessage, PayloadLengthCountsTheTerminatingNul)
{
    const char body[] = "notice";
    COPYDATASTRUCT r = MakeSessionMessage(TypeOf(SessionEvent::NoticeBody), body, 6);
    EXPECT_EQ(r.cbData, 7u);
    EXPECT_EQ(r.lpData, body);
}

TEST(SessionMessage, LengthCheckAcceptsAtMost4096PayloadBytes)
{
    struct Case {
        DWORD cbData;
        bool ok;
    } cases[] = {{1, true}, {4097, true}, {4098, false}, {0, false}, {0xFFFFFFFFu, false}};
    for (const Case& c : cases) {
        COPYDATASTRUCT r{100, c.cbData, nullptr};
        EXPECT_EQ(SessionMessageLengthOk(r), c.ok) << "cbData " << c.cbData;
    }
    COPYDATASTRUCT refused{100, 4098, nullptr};
    EXPECT_EQ(DataLenFailedText(refused), "OnCopyData()  data_len failed. type[100] len[4097]");
}

TEST(InFlightRecord, TakesACopyOfTheRecordInFlightOnlyOnce)
{
    // Windows hands the window a copy at another address, as here.
    const char body[] = "notice";
    char copied[sizeof body];
    memcpy(copied, body, sizeof body);
    char forged[sizeof body] = "notica";
    COPYDATASTRUCT sent = MakeSessionMessage(TypeOf(SessionEvent::NoticeBody), body, 6);
    COPYDATASTRUCT copy{sent.dwData, sent.cbData, copied};
    COPYDATASTRUCT otherBytes{sent.dwData, sent.cbData, forged};
    COPYDATASTRUCT otherType{TypeOf(SessionEvent::Connected), sent.cbData, copied};

    InFlightRecord slot;
    std::string_view captured;
    EXPECT_FALSE(slot.Take(copy, captured)) << "nothing in flight";
    slot.Publish(sent, "rows");
    EXPECT_FALSE(slot.Take(otherBytes, captured)) << "same type, other bytes";
    EXPECT_FALSE(slot.Take(otherType, captured)) << "same bytes, other type";
    EXPECT_TRUE(slot.Take(copy, captured)) << "a copy of the record in flight";
    EXPECT_EQ(captured, "rows") << "what the frame captured comes with its record";
    EXPECT_FALSE(slot.Take(copy, captured)) << "the same send delivered twice";
    slot.Withdraw();
    slot.Publish(sent);
    EXPECT_TRUE(slot.Take(sent, captured)) << "the next send of equal bytes is a send of its own";
    slot.Withdraw();
    EXPECT_FALSE(slot.Take(copy, captured)) << "withdrawn";
}
