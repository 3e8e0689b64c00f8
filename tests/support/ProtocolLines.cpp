#include "support/ProtocolLines.h"

#include <gtest/gtest.h>

#include "engine/core/Types.h"
#include "support/Text.h"

bool ReadInfoLine(const std::string& Line, TInfoLine& Info) {
  static const std::regex Complete(
      R"(info depth (\d+) score ((cp|mate) (-?\d+)) time (\d+) nodes (\d+) nps (\d+) pv((?: [a-h][1-8][a-h][1-8][qrbn]?)*))");
  static const std::regex Bare(R"(info depth (\d+) )");
  std::smatch M;
  Info = TInfoLine{};
  Info.Text = Line;
  if (std::regex_match(Line, M, Complete)) {
    Info.Complete = true;
    Info.Depth = std::stoi(M[1]);
    Info.ScoreText = M[2];
    const int Value = std::stoi(M[4]);
    Info.Score = M[3] == "cp" ? Value : Value > 0 ? MateScore - 2 * Value + 1 : -MateScore - 2 * Value;
    Info.Time = std::stoll(M[5]);
    Info.Nodes = std::stoll(M[6]);
    Info.Nps = std::stoll(M[7]);
    Info.PV = Words(M[8]);
    return true;
  }
  if (std::regex_match(Line, M, Bare)) {
    Info.Depth = std::stoi(M[1]);
    return true;
  }
  return false;
}

bool ReadCompleteInfo(const std::string& Line, TInfoLine& Info) { return ReadInfoLine(Line, Info) && Info.Complete; }

std::vector<TInfoLine> InfoLines(const std::string& Output, std::vector<std::string>* Others) {
  std::vector<TInfoLine> Result;
  for (const std::string& Line : Lines(Output)) {
    TInfoLine Info;
    if (ReadInfoLine(Line, Info)) {
      Result.push_back(Info);
    } else if (Line.rfind("info", 0) == 0) {
      ADD_FAILURE() << "malformed report line: \"" << Line << "\"";
    } else if (Others) {
      Others->push_back(Line);
    }
  }
  return Result;
}

int CompleteCount(const std::vector<TInfoLine>& Infos) {
  int Count = 0;
  for (const TInfoLine& Info : Infos) Count += Info.Complete;
  return Count;
}

const TInfoLine* LastComplete(const std::vector<TInfoLine>& Infos) {
  for (auto It = Infos.rbegin(); It != Infos.rend(); ++It)
    if (It->Complete) return &*It;
  return nullptr;
}

void ExpectWellFormedIterations(const std::vector<TInfoLine>& All) {
  std::vector<TInfoLine> Infos;
  for (size_t I = 0; I < All.size(); I++)
    if (All[I].Complete || I + 1 == All.size() || All[I + 1].Depth != All[I].Depth) Infos.push_back(All[I]);
  for (size_t I = 0; I < Infos.size(); I++) {
    EXPECT_EQ(Infos[I].Depth, int(I) + 1) << Infos[I].Text;
    if (I + 1 < Infos.size()) {
      EXPECT_TRUE(Infos[I].Complete) << "only the last report may be cut short";
    }
  }
}

std::vector<std::string> Replies(std::string Text) {
  for (size_t At = 0; (At = Text.find("a8", At)) != std::string::npos; At++) {
    size_t End = Text.find('\n', At);
    if (Text.find("Talvarind", At) > End) continue;
    for (int Row = 1; Row < 24 && End != std::string::npos; Row++) End = Text.find('\n', End + 1);
    Text.replace(At, End == std::string::npos ? End : End - At, "[board]");
  }
  Text = std::regex_replace(Text, std::regex("in [0-9]+ milliseconds"), "in N milliseconds");
  std::vector<std::string> Result;
  for (size_t At = Text.find('>'); At != std::string::npos;) {
    const size_t Next = Text.find('>', At + 1);
    Result.push_back(Text.substr(At + 1, Next == std::string::npos ? Next : Next - At - 1));
    if (!Result.back().empty() && Result.back().back() == '\n') Result.back().pop_back();
    At = Next;
  }
  return Result;
}
