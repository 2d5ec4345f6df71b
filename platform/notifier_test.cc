#include "platform/notifier.h"

#include <gtest/gtest.h>

#include <vector>

namespace wrenly {
namespace {

struct Recorder : Receiver {
  struct Entry {
    MessageId message;
    std::uint64_t w;
    std::int64_t l;
  };
  std::vector<Entry> got;
  void Post(MessageId message, std::uint64_t w, std::int64_t l) override { got.push_back({message, w, l}); }
};

TEST(Notifier, RegisteredNamesKeepTheirNumbers) {
  const MessageId start = RegisterMessage("Wrenly.Download.Start");
  EXPECT_GE(start, 0xC000u);
  EXPECT_EQ(RegisterMessage("Wrenly.Download.Start"), start);
  EXPECT_NE(RegisterMessage("Wrenly.Download.Finished"), start);
  EXPECT_EQ(RegisteredMessageName(start), "Wrenly.Download.Start");
  EXPECT_EQ(RegisteredMessageName(0x401), "");
}

TEST(Notifier, PostsToTheTargetOrElseToEveryBroadcastReceiver) {
  Recorder target, a, b;
  AddBroadcastReceiver(&a);
  AddBroadcastReceiver(&b);
  PostMessageTo(&target, 0x401, 1, -2);
  PostMessageTo(nullptr, 0x402, 3, 4);
  RemoveBroadcastReceiver(&b);
  Broadcast(0x403, 0, 0);
  RemoveBroadcastReceiver(&a);
  ASSERT_EQ(target.got.size(), 1u);
  EXPECT_EQ(target.got[0].l, -2);
  ASSERT_EQ(a.got.size(), 2u);
  EXPECT_EQ(a.got[1].message, 0x403u);
  ASSERT_EQ(b.got.size(), 1u);
  EXPECT_EQ(b.got[0].w, 3u);
}

}  // namespace
}  // namespace wrenly
