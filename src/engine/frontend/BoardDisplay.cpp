#include "engine/frontend/BoardDisplay.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "engine/board/Position.h"
#include "engine/moves/GameEnd.h"
#include "engine/moves/Notation.h"
#include "engine/platform/Console.h"
#include "engine/platform/Output.h"
#include "engine/platform/Version.h"

namespace {

// The code page 437 bytes the pictures use.
constexpr char LightShade = char(176), DarkShade = char(178), Vertical = char(179), UpperRight = char(191),
               LowerLeft = char(192), Horizontal = char(196), LowerRight = char(217), UpperLeft = char(218),
               FullBlock = char(219);

// Three rows of seven per piece code: "x" is the square's background, "#" a solid block.
constexpr const char* PiecePictures[16] = {
    "xxxxxxxxxxxxxxxxxxxxx",    //
    "xxx_xxxxx(#)xxx(###)x",    // white pawn
    "xx/\")xxxx'##(xx(###)x",   // white knight
    "xx(v)xxxx)#(xxx(###)x",    // white bishop
    "xx[-]xxxx[#]xxx(###)x",    // white rook
    "xx\\^/xxxx/#\\xxx(###)x",  // white queen
    "xx\\+/xxxx/#\\xxx(###)x",  // white king
    "xxxxxxxxxxxxxxxxxxxxx",    //
    "xxxxxxxxxxxxxxxxxxxxx",    //
    "xxx_xxxxx( )xxx(___)x",    // black pawn
    "xx/\")xxxx' (xxx(___)x",   // black knight
    "xx(v)xxxx) (xxx(___)x",    // black bishop
    "xx[-]xxxx[ ]xxx(___)x",    // black rook
    "xx\\^/xxxx/ \\xxx(___)x",  // black queen
    "xx\\+/xxxx/ \\xxx(___)x",  // black king
    "xxxxxxxxxxxxxxxxxxxxx",    //
};

// Rows 2 to 4 of the panel.
constexpr const char* Attribution[3] = {"(c) Talvarind authors", "Chess engine for UCI", "and XBoard interfaces"};

bool IsLightSquare(int Row, int File) { return ((Row + File) & 1) == 0; }

uint8_t PieceAt(const TPosition* P, int Row, int File) { return P->Board[(7 - Row) * 8 + File] & 15; }

constexpr int BigRows = 25, BigColumns = 80, ShownRows = 24, ShownColumns = 79;

struct TScreen {
  char Buf[BigRows][BigColumns];

  // Text that would run past the shown width is cut there: nothing is written outside the row.
  void Status(int X, int Y, std::string_view S) {
    if (X < 0 || X >= ShownRows || Y < 0 || Y >= ShownColumns) return;
    const size_t Room = size_t(ShownColumns - Y);
    std::memcpy(&Buf[X][Y], S.data(), S.size() < Room ? S.size() : Room);
  }
};

std::string Number(int64_t Value) { return std::to_string(Value); }

}  // namespace

std::string StatusText(TPosition* P) {
  if (IsCheckmate(P)) return "CHECKMATE !";
  if (IsStalemate(P)) return "STALEMATE !";
  if (IsInCheck(P, P->Side)) return IsDraw(P) ? "CHECK AND DRAW !" : "CHECK !";
  if (IsDraw(P)) return "DRAW !";
  return "";
}

std::string RenderSmallBoard(TState* S) {
  const TPosition* P = &S->Position;
  std::string Out = "  abcdefgh\n ";
  Out += UpperLeft;
  Out.append(8, Horizontal);
  Out += UpperRight;
  Out += '\n';
  for (int Row = 0; Row < 8; Row++) {
    const char Rank = char('8' - Row);
    Out += Rank;
    Out += Vertical;
    for (int File = 0; File < 8; File++) {
      const uint8_t Piece = PieceAt(P, Row, File);
      if (Piece != 0) Out += PieceChars[Piece];
      else Out += IsLightSquare(Row, File) ? ' ' : LightShade;
    }
    Out += Vertical;
    Out += Rank;
    Out += '\n';
  }
  Out += ' ';
  Out += LowerLeft;
  Out.append(8, Horizontal);
  Out += LowerRight;
  Out += "\n  abcdefgh\n";
  const std::string Status = StatusText(&S->Position);
  if (!Status.empty()) Out += "  " + Status;
  Out += "\n\n";
  return Out;
}

std::string RenderBigBoard(TState* S) {
  TPosition* P = &S->Position;
  TScreen Screen;
  std::memset(Screen.Buf, ' ', sizeof Screen.Buf);

  for (int Row = 0; Row < 8; Row++) {
    for (int File = 0; File < 8; File++) {
      const uint8_t Piece = PieceAt(P, Row, File);
      const char Background = IsLightSquare(Row, File) ? ' ' : DarkShade;
      const char* Picture = PiecePictures[Piece];
      for (int Y = 0; Y < 3; Y++) {
        char* Out = &Screen.Buf[3 * Row + Y][7 * File];
        for (int X = 0; X < 7; X++) {
          const char C = Picture[Y * 7 + X];
          Out[X] = C == 'x' ? Background : C == '#' ? FullBlock : C;
        }
      }
      char* Top = &Screen.Buf[3 * Row][7 * File];
      Top[0] = char('a' + File);
      Top[1] = char('1' + 7 - Row);
      Top[6] = PieceChars[Piece];
    }
  }

  const int Side = P->Side >> 3;
  Screen.Status(0, 57, "Talvarind");
  Screen.Status(1, 57, VersionString());
  for (int I = 0; I < 3; I++) Screen.Status(2 + I, 57, Attribution[I]);
  Screen.Status(6, 57, Side == 0 ? "Current side: WHITE" : "Current side: BLACK");
  Screen.Status(7, 60, StatusText(P));
  Screen.Status(8, 57, "Depth: " + Number(S->MaxDepth));
  Screen.Status(9, 57, "Moves: " + Number(S->MovesLeft[Side]) + "/" + Number(S->MovesPerControl));
  Screen.Status(10, 57, "Time: " + Number(S->TimeLeft[Side]) + "/" + Number(S->MaxTime));
  Screen.Status(11, 57, "Nodes: " + Number(S->Nodes) + "/" + Number(S->MaxNodes));
  Screen.Status(13, 57, "| ply | white | black");
  Screen.Status(14, 57, "+=====+=======+=======");
  for (int Row = 15; Row < ShownRows; Row++) Screen.Status(Row, 57, "|     |       |");

  const int H = S->HistoryPly;
  int Row = 15;
  for (int K = (H & 1) ? H - 17 : H - 18; K < H; K++) {
    if (K >= 0) {
      const std::string Move = MoveToString(S->HistoryStack[K].Move);
      if ((K & 1) == 0) {
        char Ply[16];
        std::snprintf(Ply, sizeof Ply, "%4d", P->StartPly + K);
        Screen.Status(Row, 58, Ply);
        Screen.Status(Row, 65, Move);
      } else {
        Screen.Status(Row, 73, Move);
      }
    }
    if (K & 1) Row++;
  }

  std::string Out;
  Out.reserve(ShownRows * (ShownColumns + 1));
  for (int R = 0; R < ShownRows; R++) {
    Out.append(Screen.Buf[R], ShownColumns);
    Out += '\n';
  }
  return Out;
}

// The one place where the pictures' code page 437 bytes meet the console. Linux terminals and pipe
// readers expect UTF-8; a console that really uses code page 437 would take the bytes unchanged.
std::string ConsoleText(std::string_view Cp437) {
  if (!ConsoleWantsUtf8()) return std::string(Cp437);
  // Unicode code points of the bytes 128 to 255.
  static constexpr char16_t Upper[128] = {
      0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
      0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
      0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
      0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
      0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
      0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
      0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
      0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
      0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
      0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
  };
  std::string Out;
  Out.reserve(Cp437.size() * 3);
  for (const char C : Cp437) {
    const unsigned char Byte = (unsigned char)C;
    if (Byte < 128) {
      Out += C;
      continue;
    }
    const char16_t Code = Upper[Byte - 128];
    if (Code < 0x800) {
      Out += char(0xC0 | (Code >> 6));
    } else {
      Out += char(0xE0 | (Code >> 12));
      Out += char(0x80 | ((Code >> 6) & 0x3F));
    }
    Out += char(0x80 | (Code & 0x3F));
  }
  return Out;
}

void DrawSmallBoard(TState* S) {
  const std::string Text = ConsoleText(RenderSmallBoard(S));
  OutputWrite(Text);
}

void DrawBigBoard(TState* S) {
  const std::string Text = ConsoleText(RenderBigBoard(S));
  OutputWrite(Text);
}
