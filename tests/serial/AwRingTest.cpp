// The byte ring behind the receive and the transmit buffer, checked against a plain queue: bytes
// come out in the order they went in, whatever the wrap, and every byte of the capacity is usable.
#include "serial/AwRing.h"

#include <gtest/gtest.h>

#include <deque>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Runs a script of "P<n>" (put n bytes, counting on from the last one put) and "S<n>" (skip n)
// on a ring and on a queue side by side.
struct TRingRun {
  TApdRing ring;
  std::deque<uint8_t> model;
  uint8_t next = 1;

  explicit TRingRun(unsigned capacity) { ring.Allocate(capacity); }
  void Run(const std::string &script) {
    std::istringstream in(script);
    std::string op;
    while (in >> op) {
      const unsigned n = static_cast<unsigned>(std::stoul(op.substr(1)));
      if (op[0] == 'P') {
        std::vector<uint8_t> bytes;
        for (unsigned i = 0; i < n; ++i)
          bytes.push_back(next++);
        ring.Put(bytes.data(), n);
        model.insert(model.end(), bytes.begin(), bytes.end());
      } else {
        ring.Skip(n);
        model.erase(model.begin(), model.begin() + n);
      }
    }
  }
  std::vector<uint8_t> Unread() const {
    std::vector<uint8_t> out;
    for (unsigned i = 0; i < ring.Used(); ++i)
      out.push_back(ring.Peek(i));
    return out;
  }
  std::vector<uint8_t> Expected() const { return {model.begin(), model.end()}; }
};

TEST(AwRing, KeepsOrderAndCountsAcrossTheWrap) {
  struct Row {
    const char *what;
    unsigned capacity;
    const char *script;
    unsigned used;
    bool full;
  } rows[] = {
      {"new ring", 8, "", 0, false},
      {"part filled", 8, "P3", 3, false},
      {"exactly full", 8, "P8", 8, true},
      {"full, one taken", 8, "P8 S1", 7, false},
      {"emptied", 8, "P5 S5", 0, false},
      {"wrapped", 8, "P6 S4 P5", 7, false},
      {"wrapped to full", 8, "P6 S4 P6", 8, true},
      {"wrapped, then drained past the end", 8, "P6 S4 P5 S6", 1, false},
      {"full at the middle", 8, "P5 S5 P8", 8, true},
      {"one byte", 1, "P1", 1, true},
      {"one byte, turned over", 1, "P1 S1 P1", 1, true},
  };
  for (const auto &row : rows) {
    TRingRun run(row.capacity);
    run.Run(row.script);
    EXPECT_EQ(run.ring.Used(), row.used) << row.what;
    EXPECT_EQ(run.ring.Free(), row.capacity - row.used) << row.what;
    EXPECT_EQ(run.ring.Full(), row.full) << row.what;
    EXPECT_EQ(run.Unread(), run.Expected()) << row.what;
  }
}

TEST(AwRing, GathersTheUnreadBytesInOnePieceInOrder) {
  struct Row {
    const char *what;
    const char *script;
    unsigned firstLength; // what one Gather hands out
    const char *then;     // the ring goes on working after it
  } rows[] = {
      {"nothing", "", 0, "P8 S3 P3"},
      {"contiguous", "P2 S1 P3", 4, "S2 P6"},
      {"ending exactly at the end", "P8 S5", 3, "P5 S4 P4"},
      {"full from the start", "P8", 8, "S3 P3"},
      {"wrapped: rotated into one piece", "P7 S5 P4", 6, "P2 S5 P5"},
      {"full and wrapped", "P7 S5 P6", 8, "S3 P3 S8"},
  };
  for (const auto &row : rows) {
    TRingRun run(8);
    run.Run(row.script);
    const auto all = run.Expected();
    unsigned length = 99;
    const uint8_t *piece = run.ring.Gather(length);
    ASSERT_EQ(length, row.firstLength) << row.what;
    EXPECT_EQ(std::vector<uint8_t>(piece, piece + length), std::vector<uint8_t>(all.begin(), all.begin() + length))
        << row.what;
    // Gathering moves nothing out: the same bytes stay unread, in order.
    EXPECT_EQ(run.Unread(), all) << row.what;
    run.Run(row.then);
    EXPECT_EQ(run.Unread(), run.Expected()) << row.what;
    EXPECT_EQ(run.ring.Used() + run.ring.Free(), 8u) << row.what;
  }
}

TEST(AwRing, RoomRunsToTheEndThenFromTheStartUpToTheOldestByte) {
  TApdRing ring;
  ring.Allocate(8);
  const uint8_t five[] = {1, 2, 3, 4, 5};
  ring.Put(five, 5);
  ring.Skip(3);
  unsigned room;
  uint8_t *at = ring.Room(room);
  ASSERT_EQ(room, 3u); // from index 5 to the end
  at[0] = 6, at[1] = 7, at[2] = 8;
  ring.Produced(3);
  at = ring.Room(room);
  ASSERT_EQ(room, 3u); // from the start up to the oldest unread byte
  at[0] = 9, at[1] = 10, at[2] = 11;
  ring.Produced(3);
  EXPECT_TRUE(ring.Full());
  ring.Room(room);
  EXPECT_EQ(room, 0u);
  std::vector<uint8_t> unread;
  for (unsigned i = 0; i < ring.Used(); ++i)
    unread.push_back(ring.Peek(i));
  EXPECT_EQ(unread, (std::vector<uint8_t>{4, 5, 6, 7, 8, 9, 10, 11}));
}

TEST(AwRing, ClearAndReleaseLeaveItEmpty) {
  TApdRing ring;
  EXPECT_FALSE(ring.Allocated());
  EXPECT_EQ(ring.Used(), 0u);
  ring.Allocate(4);
  const uint8_t four[] = {1, 2, 3, 4};
  ring.Put(four, 4);
  ring.Clear();
  EXPECT_EQ(ring.Used(), 0u);
  EXPECT_FALSE(ring.Full());
  ring.Put(four, 4);
  ring.Release();
  EXPECT_FALSE(ring.Allocated());
  EXPECT_EQ(ring.Used(), 0u);
  EXPECT_EQ(ring.Free(), 0u);
  // A transmit buffer of size 0 takes nothing and has nothing to send.
  ring.Allocate(0);
  EXPECT_TRUE(ring.Allocated());
  EXPECT_EQ(ring.Free(), 0u);
  unsigned length = 99;
  ring.Gather(length);
  EXPECT_EQ(length, 0u);
}

} // namespace
