// The sync editor's protocol, the wire half: the editor's bytes, hand-made,
// fed whole and in every split, give the same messages; each kind of bad
// input stops the reader with a line that says what came; the client's
// messages are the bytes the editor expects.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "makers/sync_protocol.h"

using namespace VantorGL;
using namespace VantorGL::sync;

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += char(v);
  return out;
}

const std::string kGreeting = "hello, demo!";
// set key: track 1, row 16, value 0.5, smooth
const std::string kSetKey = Bytes({0, 0, 0, 0, 1, 0, 0, 0, 16, 0x3F, 0x00, 0x00, 0x00, 2});
// delete key: track 0, row 0x0102 (258)
const std::string kDeleteKey = Bytes({1, 0, 0, 0, 0, 0, 0, 1, 2});
const std::string kSetRow = Bytes({3, 0x01, 0x02, 0x03, 0x04});
const std::string kPause = Bytes({4, 1});
const std::string kPlay = Bytes({4, 0});
const std::string kSave = Bytes({5});

// A message as "command track row value interpolation paused".
std::string Described(const Message& m) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%d %u %u %g %d %d", int(m.command), m.track, m.row, m.value, int(m.interpolation),
                int(m.paused));
  return buf;
}

struct Read {
  std::vector<std::string> messages;
  MessageReader::Result last = MessageReader::Result::kNeedMore;
  std::string fault;
};

// Feeds `stream` cut at `cuts` (positions), reading all it can after each piece.
Read Feed(const std::string& stream, std::vector<size_t> cuts = {}, uint32_t tracksAsked = 2) {
  MessageReader reader;
  reader.SetTracksAsked(tracksAsked);
  Read read;
  cuts.push_back(stream.size());
  size_t from = 0;
  for (size_t cut : cuts) {
    reader.Feed(reinterpret_cast<const uint8_t*>(stream.data()) + from, cut - from);
    from = cut;
    Message m;
    while ((read.last = reader.Next(m)) == MessageReader::Result::kMessage) read.messages.push_back(Described(m));
    if (read.last == MessageReader::Result::kFault) break;
  }
  read.fault = reader.fault();
  return read;
}

std::string CloseAfter(const std::string& stream) {
  MessageReader reader;
  reader.SetTracksAsked(2);
  reader.Feed(reinterpret_cast<const uint8_t*>(stream.data()), stream.size());
  Message m;
  while (reader.Next(m) == MessageReader::Result::kMessage) {
  }
  EXPECT_FALSE(reader.Close());
  return reader.fault();
}

}  // namespace

TEST(SyncProtocol, SplitOrJoinedTheEditorsBytesGiveTheSameMessages) {
  const std::string stream = kGreeting + kSetKey + kDeleteKey + kSetRow + kPause + kPlay + kSave;
  const std::vector<std::string> expected = {
      "0 1 16 0.5 2 0",       // set key: track 1, row 16, 0.5, smooth
      "1 0 258 0 0 0",        // delete key: track 0, row 258
      "3 0 16909060 0 0 0",   // set row 0x01020304
      "4 0 0 0 0 1", "4 0 0 0 0 0",  // pause, play
      "5 0 0 0 0 0",          // save tracks
  };
  auto check = [&](const Read& read, const std::string& how) {
    EXPECT_EQ(read.last, MessageReader::Result::kNeedMore) << how;
    EXPECT_EQ(read.messages, expected) << how;
  };
  check(Feed(stream), "whole");
  std::vector<size_t> everyByte;
  for (size_t i = 1; i < stream.size(); ++i) everyByte.push_back(i);
  check(Feed(stream, everyByte), "a byte at a time");
  for (size_t i = 1; i < stream.size(); ++i) check(Feed(stream, {i}), "cut at " + std::to_string(i));

  MessageReader reader;
  reader.Feed(reinterpret_cast<const uint8_t*>(kGreeting.data()), kGreeting.size());
  Message m;
  EXPECT_EQ(reader.Next(m), MessageReader::Result::kNeedMore);
  EXPECT_TRUE(reader.greeted());
  EXPECT_TRUE(reader.Close());  // closed between messages: nothing cut off
}

TEST(SyncProtocol, BadBytesStopTheReaderSayingWhatCame) {
  // A wrong greeting is found at its first wrong byte, without waiting for the rest.
  Read wrong = Feed("hello, dem0");
  EXPECT_EQ(wrong.last, MessageReader::Result::kFault);
  EXPECT_EQ(wrong.fault, "wrong greeting \"hello, dem0\" (expected \"hello, demo!\")");
  EXPECT_EQ(Feed("hello, dEmo!", {3, 10}).fault, "wrong greeting \"hello, dE\" (expected \"hello, demo!\")");
  EXPECT_EQ(Feed(Bytes({'h', 0xFF})).fault, "wrong greeting \"h\\xFF\" (expected \"hello, demo!\")");

  const std::pair<std::string, const char*> faults[] = {
      {kGreeting + kSave + Bytes({7}), "unknown command byte 7"},
      {kGreeting + Bytes({2, 0, 0, 0, 1, 'x'}), "unknown command byte 2"},  // the client's, never the editor's
      {kGreeting + Bytes({0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
       "set key for track 2, but 2 tracks were asked for"},
      {kGreeting + Bytes({1, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}),
       "delete key for track 4294967295, but 2 tracks were asked for"},
      {kGreeting + kSetKey.substr(0, 13) + '\x04', "set key on row 16 of track 1 with interpolation 4"},
      {kGreeting + Bytes({0, 0, 0, 0, 0, 0, 0, 0, 3, 0x7F, 0xC0, 0, 0, 1}),
       "set key on row 3 of track 0 with a value that is not a finite number"},
  };
  for (const auto& [stream, fault] : faults) {
    const Read read = Feed(stream);
    EXPECT_EQ(read.last, MessageReader::Result::kFault) << fault;
    EXPECT_EQ(read.fault.rfind(fault, 0), 0u) << read.fault;
  }
  EXPECT_EQ(Feed(kGreeting + kSetKey, {}, 0).fault, "set key for track 1, but 0 tracks were asked for");
  EXPECT_EQ(Feed(kGreeting + kSetKey, {}, 1).fault, "set key for track 1, but 1 track was asked for");
  // After a fault nothing more is read.
  const Read after = Feed(kGreeting + Bytes({9}) + kSave);
  EXPECT_TRUE(after.messages.empty());

  EXPECT_EQ(CloseAfter(kGreeting + kSave + kSetKey.substr(0, 5)),
            "the connection closed inside a set key message (5 of 14 bytes)");
  EXPECT_EQ(CloseAfter(kGreeting + kPause.substr(0, 1)), "the connection closed inside a pause message (1 of 2 bytes)");
  EXPECT_EQ(CloseAfter("hello"), "the connection closed inside the greeting (5 of 12 bytes)");
  EXPECT_EQ(CloseAfter(""), "the connection closed inside the greeting (0 of 12 bytes)");
}

TEST(SyncProtocol, TheClientsMessages) {
  std::vector<uint8_t> out;
  AppendGreeting(out);
  AppendGetTrack(out, "cam:angle");
  AppendSetRow(out, 0x0102);
  const std::string expected =
      "hello, synctracker!" + Bytes({2, 0, 0, 0, 9}) + "cam:angle" + Bytes({3, 0, 0, 0x01, 0x02});
  EXPECT_EQ(std::string(out.begin(), out.end()), expected);
}
