#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "engine/board/Position.h"
#include "engine/core/State.h"
#include "engine/core/Text.h"
#include "engine/frontend/Words.h"
#include "support/TestState.h"

namespace {

TEST(Text, TrimBlanksRemovesBlanksAndControlCharactersAtBothEnds) {
  EXPECT_EQ(TrimBlanks(" \t go depth 5\r\n"), "go depth 5");
  EXPECT_EQ(TrimBlanks("\x01\x1f"), "");
  EXPECT_EQ(TrimBlanks("e2e4"), "e2e4");
}

TEST(Text, ReadDecimalTakesWholeSignedNumbersAndClampsTheRest) {
  constexpr int64_t Limit = 1000;
  const struct {
    const char* Word;
    TNumberRead Read;
    int64_t Value;  // left at 7 when the word is no number
  } Cases[] = {
      {"42", TNumberRead::InRange, 42},
      {"+42", TNumberRead::InRange, 42},
      {"-42", TNumberRead::InRange, -42},
      {"007", TNumberRead::InRange, 7},
      {"-0", TNumberRead::InRange, 0},
      {"1000", TNumberRead::InRange, 1000},
      {"1001", TNumberRead::Clamped, 1000},
      {"-1001", TNumberRead::Clamped, -1000},
      {"99999999999999999999999999", TNumberRead::Clamped, 1000},
      {"-99999999999999999999999999", TNumberRead::Clamped, -1000},
      {"", TNumberRead::NotANumber, 7},
      {"+", TNumberRead::NotANumber, 7},
      {"-", TNumberRead::NotANumber, 7},
      {"+-5", TNumberRead::NotANumber, 7},
      {"12a", TNumberRead::NotANumber, 7},
      {" 12", TNumberRead::NotANumber, 7},
      {"1.5", TNumberRead::NotANumber, 7},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Word);
    int64_t Value = 7;
    EXPECT_EQ(ReadDecimal(C.Word, -Limit, Limit, Value), C.Read);
    EXPECT_EQ(Value, C.Value);
  }
}

TEST(Text, ReadDecimalIsExactAtTheEndsOfSixtyFourBits) {
  int64_t Value = 0;
  EXPECT_EQ(ReadDecimal("9223372036854775807", INT64_MIN, INT64_MAX, Value), TNumberRead::InRange);
  EXPECT_EQ(Value, INT64_MAX);
  EXPECT_EQ(ReadDecimal("-9223372036854775808", INT64_MIN, INT64_MAX, Value), TNumberRead::InRange);
  EXPECT_EQ(Value, INT64_MIN);
  EXPECT_EQ(ReadDecimal("9223372036854775808", INT64_MIN, INT64_MAX, Value), TNumberRead::Clamped);
  EXPECT_EQ(Value, INT64_MAX);
  EXPECT_EQ(ReadDecimal("-9223372036854775809", INT64_MIN, INT64_MAX, Value), TNumberRead::Clamped);
  EXPECT_EQ(Value, INT64_MIN);
}

TEST(Text, ReadDigitsStopsAtTheFirstOtherCharacterAndSaturates) {
  size_t At = 2;
  EXPECT_EQ(ReadDigits("a 123 b", At, 1000), 123);
  EXPECT_EQ(At, 5u);
  At = 0;
  EXPECT_EQ(ReadDigits("x", At, 1000), 0);
  EXPECT_EQ(At, 0u);
  At = 0;
  EXPECT_EQ(ReadDigits("123456789012345678901234567890;", At, 1000), 1000);
  EXPECT_EQ(At, 30u);
}

// Commands refuse a number out of range; a position's counters saturate instead.
TEST(Text, CommandsRefuseAndPositionsSaturateAnOutOfRangeNumber) {
  EXPECT_EQ(ToNumber("2147483647", -1), INT32_MAX);
  EXPECT_EQ(ToNumber("2147483648", -1), -1);
  EXPECT_EQ(ToNumber("-2147483648", -1), INT32_MIN);
  int64_t Ms = 0;
  EXPECT_FALSE(ReadNumber("99999999999999999999", Ms));
  EXPECT_TRUE(ReadNumber("+1500", Ms));
  EXPECT_EQ(Ms, 1500);

  TState* S = TestStateWith("startpos");
  SetPosition(&S->Position, "4k3/8/8/8/8/8/8/4K3 w - - 99999999999999999999 1");
  EXPECT_GT(S->Position.ReversibleMoves, 1000) << "a huge half-move clock stays huge";
  SetPosition(&S->Position, "4k3/8/8/8/8/8/8/4K3 w - - hmvc\t12\t; fmvn 3;");
  EXPECT_EQ(S->Position.ReversibleMoves, 12);
  TPosition Start{};
  SetPosition(&Start, "startpos");
  SetPosition(&S->Position, " \tstartpos\r");
  EXPECT_EQ(std::memcmp(S->Position.Board, Start.Board, sizeof Start.Board), 0) << "startpos read through blanks";
}

}  // namespace
