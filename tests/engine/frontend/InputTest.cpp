#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/frontend/Input.h"
#include "support/InProcess.h"
#include "support/Processes.h"
#include "support/TestState.h"

namespace {

using namespace std::chrono_literals;

struct TLineRead {
  bool Ok;
  std::string Line;
};

TLineRead ReadLine(bool Blocking) {
  TLineRead Result{false, "unchanged"};
  Result.Ok = InputReadLine(Blocking, Result.Line);
  return Result;
}

// A blocking read on another thread. One still waiting after two seconds fails the test and is then
// released by putting a pipe that holds an empty line in place of its descriptor.
TLineRead WatchedBlockingRead(int Fd) {
  auto Result = std::async(std::launch::async, [] { return ReadLine(true); });
  if (Result.wait_for(2s) == std::future_status::timeout) {
    ADD_FAILURE() << "blocking read still waiting after 2 s";
    int Rescue[2];
    if (pipe(Rescue) == 0) {
      WriteAll(Rescue[1], "\n");
      close(Rescue[1]);
      dup2(Rescue[0], Fd);
      close(Rescue[0]);
    }
  }
  return Result.get();
}

class InputTest : public ::testing::Test {
 protected:
  void Send(std::string_view Text) { Pipe.Send(Text); }
  void CloseWriter() { Pipe.Close(); }

  TInputPipe Pipe;
};

TEST_F(InputTest, LineInTwoPiecesIsCompletedByALaterNonBlockingRead) {
  Send("st");
  auto First = ReadLine(false);
  EXPECT_FALSE(First.Ok);
  EXPECT_FALSE(InputEnded());
  // The held half is not new input.
  EXPECT_FALSE(InputAvailable());

  Send("op\n");
  EXPECT_TRUE(InputAvailable());
  auto Second = ReadLine(false);
  EXPECT_TRUE(Second.Ok);
  EXPECT_EQ(Second.Line, "stop");
}

TEST_F(InputTest, CarriageReturnAndLineFeedEachEndALine) {
  Send("quit\r\nnext\rlast\n");
  const std::vector<std::string> Expected = {"quit", "", "next", "last"};
  for (const auto& Line : Expected) {
    auto Read = ReadLine(false);
    EXPECT_TRUE(Read.Ok);
    EXPECT_EQ(Read.Line, Line);
  }
  EXPECT_FALSE(ReadLine(false).Ok);
}

TEST_F(InputTest, LinesOfOneChunkAreHandedOutOneByOne) {
  Send("go\nstop\n");
  auto Go = ReadLine(true);
  EXPECT_TRUE(Go.Ok);
  EXPECT_EQ(Go.Line, "go");

  // "stop" now sits in the read-ahead buffer, not in the pipe.
  EXPECT_TRUE(InputAvailable());
  EXPECT_TRUE(InputAvailable()) << "asking must not consume";
  auto Stop = ReadLine(false);
  EXPECT_TRUE(Stop.Ok);
  EXPECT_EQ(Stop.Line, "stop");

  EXPECT_FALSE(ReadLine(false).Ok);
  EXPECT_FALSE(InputEnded());
  EXPECT_FALSE(InputAvailable());
}

TEST_F(InputTest, CharactersComeOneAtATime) {
  Send("a\tb");
  std::string Got;
  char C;
  while (InputRead(false, C)) Got += C;
  EXPECT_EQ(Got, "a\tb");
  EXPECT_FALSE(InputEnded());
}

TEST_F(InputTest, LineLongerThanTheReadAheadArrivesWhole) {
  std::string Long(10000, ' ');
  for (size_t I = 0; I < Long.size(); ++I) Long[I] = char('a' + I % 26);
  Send(Long + "\nafter\n");

  auto First = ReadLine(true);
  EXPECT_TRUE(First.Ok);
  EXPECT_EQ(First.Line.size(), Long.size());
  EXPECT_TRUE(First.Line == Long);
  auto Second = ReadLine(true);
  EXPECT_TRUE(Second.Ok);
  EXPECT_EQ(Second.Line, "after");
}

TEST_F(InputTest, BlockingReadWaitsForLateInput) {
  EXPECT_FALSE(InputAvailable());
  const int Writer = Pipe.Writer();
  std::thread Late([Writer] {
    std::this_thread::sleep_for(50ms);
    WriteAll(Writer, "ponderhit\n");
  });
  auto Read = WatchedBlockingRead(Pipe.Reader());
  Late.join();
  EXPECT_TRUE(Read.Ok);
  EXPECT_EQ(Read.Line, "ponderhit");
}

TEST_F(InputTest, EndOfInputEndsABlockingReadAfterTheUnterminatedLastLine) {
  Send("abc");
  CloseWriter();
  auto Last = WatchedBlockingRead(Pipe.Reader());
  EXPECT_TRUE(Last.Ok);
  EXPECT_EQ(Last.Line, "abc");

  auto End = WatchedBlockingRead(Pipe.Reader());
  EXPECT_FALSE(End.Ok);
  ASSERT_TRUE(InputEnded());
  // The search asks before it reads; an ended input must get read so the end is seen.
  EXPECT_TRUE(InputAvailable());
  EXPECT_FALSE(ReadLine(false).Ok);
  char C;
  EXPECT_FALSE(InputRead(true, C));
}

TEST_F(InputTest, NonBlockingReadLearnsOfTheEnd) {
  Send("x\npartial");
  auto Line = ReadLine(false);
  EXPECT_TRUE(Line.Ok);
  EXPECT_EQ(Line.Line, "x");
  EXPECT_FALSE(ReadLine(false).Ok);
  EXPECT_FALSE(InputEnded());

  CloseWriter();
  EXPECT_TRUE(InputAvailable());
  auto Partial = ReadLine(false);
  EXPECT_TRUE(Partial.Ok);
  EXPECT_EQ(Partial.Line, "partial");
  EXPECT_FALSE(ReadLine(false).Ok);
  EXPECT_TRUE(InputEnded());
}

TEST_F(InputTest, AttachStartsAfresh) {
  Send("held");
  EXPECT_FALSE(ReadLine(false).Ok);

  int Other[2];
  ASSERT_EQ(pipe(Other), 0);
  InputAttach(Other[0]);
  // Only the first use on standard input may set the layer up.
  InputInit();
  WriteAll(Other[1], "new\n");
  auto Fresh = ReadLine(false);
  EXPECT_TRUE(Fresh.Ok);
  EXPECT_EQ(Fresh.Line, "new") << "a partial line must not survive a re-attach";

  close(Other[1]);
  EXPECT_FALSE(ReadLine(false).Ok);
  EXPECT_TRUE(InputEnded());
  InputAttach(Pipe.Reader());
  EXPECT_FALSE(InputEnded());
  Send("again\n");
  auto Again = ReadLine(false);
  EXPECT_TRUE(Again.Ok);
  EXPECT_EQ(Again.Line, "again");
  close(Other[0]);
}

TEST(InputFileTest, RegularFileIsReadToItsEnd) {
  FILE* File = std::tmpfile();
  ASSERT_NE(File, nullptr);
  std::fputs("one\r\ntwo", File);
  std::fflush(File);
  std::rewind(File);
  InputAttach(fileno(File));

  EXPECT_TRUE(InputAvailable());
  std::vector<std::string> Lines;
  for (int Reads = 0; Reads < 4; ++Reads) {
    auto Read = WatchedBlockingRead(fileno(File));
    if (!Read.Ok) break;
    Lines.push_back(Read.Line);
  }
  EXPECT_EQ(Lines, (std::vector<std::string>{"one", "", "two"}));
  EXPECT_TRUE(InputEnded());

  ParkInput();
  std::fclose(File);
}

TEST(InputTerminalTest, TerminalDeliversTypedLinesUntilEndOfFileKey) {
  int Master = posix_openpt(O_RDWR | O_NOCTTY);
  if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0 || ptsname(Master) == nullptr) {
    if (Master >= 0) close(Master);
    GTEST_SKIP() << "no pseudo-terminal available";
  }
  int Slave = open(ptsname(Master), O_RDWR | O_NOCTTY);
  ASSERT_GE(Slave, 0);
  termios Mode;
  ASSERT_EQ(tcgetattr(Slave, &Mode), 0);
  Mode.c_lflag |= ICANON;
  Mode.c_lflag &= ~tcflag_t(ECHO);
  ASSERT_EQ(tcsetattr(Slave, TCSANOW, &Mode), 0);

  // The line discipline takes what the master writes a moment later, not within the write.
  auto EventuallyAvailable = [] {
    for (int Tries = 0; Tries < 2000 && !InputAvailable(); ++Tries) std::this_thread::sleep_for(1ms);
    return InputAvailable();
  };

  InputAttach(Slave);
  EXPECT_FALSE(InputAvailable());
  WriteAll(Master, "go infinite\n");
  EXPECT_TRUE(EventuallyAvailable());
  auto Go = ReadLine(true);
  EXPECT_TRUE(Go.Ok);
  EXPECT_EQ(Go.Line, "go infinite");

  // A line still being typed is not input yet.
  WriteAll(Master, "st");
  std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(InputAvailable());
  WriteAll(Master, "op\n\x04");
  auto Stop = ReadLine(false);
  EXPECT_TRUE(Stop.Ok);
  EXPECT_EQ(Stop.Line, "stop");
  EXPECT_FALSE(ReadLine(true).Ok);
  EXPECT_TRUE(InputEnded());

  ParkInput();
  close(Slave);
  close(Master);
}

TEST(ParseTest, TakesOneWordAndTheSeparatorsAfterIt) {
  struct {
    std::string Line, Word, Rest;
  } const Cases[] = {
      {"position  startpos", "position", "startpos"},
      {"go", "go", ""},
      {" go", "", "go"},
      {"", "", ""},
      {"go \t\r\x01\x1f infinite x", "go", "infinite x"},
      {std::string("a\0b", 3), "a", "b"},
      {"word   ", "word", ""},
      // 33 and the high half are not separators; bytes above 127 must not be taken for control codes.
      {"e2e4!? \xa0\xff x", "e2e4!?", "\xa0\xff x"},
  };
  for (const auto& Case : Cases) {
    std::string S = Case.Line;
    EXPECT_EQ(Parse(S, WhiteSpaceSet(), true), Case.Word) << '"' << Case.Line << '"';
    EXPECT_EQ(S, Case.Rest) << '"' << Case.Line << '"';
  }
}

TEST(ParseTest, WithoutContinuousOnlyOneSeparatorGoes) {
  std::string S = "a  b";
  EXPECT_EQ(Parse(S, WhiteSpaceSet(), false), "a");
  EXPECT_EQ(S, " b");
  EXPECT_EQ(Parse(S, WhiteSpaceSet(), false), "");
  EXPECT_EQ(S, "b");

  TCharSet Slash;
  Slash.set('/');
  S = "8/8//k7";
  std::vector<std::string> Ranks;
  while (!S.empty()) Ranks.push_back(Parse(S, Slash, false));
  EXPECT_EQ(Ranks, (std::vector<std::string>{"8", "8", "", "k7"}));
}

TEST(ParseTest, RepeatedCallsSplitACommandLine) {
  std::string S = "position startpos\tmoves  e2e4 e7e5";
  std::vector<std::string> Words;
  while (!S.empty()) Words.push_back(Parse(S, WhiteSpaceSet(), true));
  EXPECT_EQ(Words, (std::vector<std::string>{"position", "startpos", "moves", "e2e4", "e7e5"}));
}

TEST(ParseTest, WhiteSpaceIsExactlyTheCodesUpToSpace) {
  const TCharSet& Set = WhiteSpaceSet();
  EXPECT_EQ(Set.count(), 33u);
  EXPECT_TRUE(Set.test(0));
  EXPECT_TRUE(Set.test(32));
  EXPECT_FALSE(Set.test(33));
}

}  // namespace
