// The arbiter of games between engine processes: it keeps the game with the engine library's own move
// generator and game-end tests, on a state of its own without hash tables or search threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/State.h"

enum class TEnding { None, Checkmate, Stalemate, FiftyMoves, Repetition, Adjudicated };
const char* EndingName(TEnding Ending);

class TReferee {
 public:
  // Games longer than MaxPlies half-moves are drawn by adjudication.
  explicit TReferee(int MaxPlies = 400);
  ~TReferee();

  // A new game from Fen (or "startpos").
  void NewGame(std::string_view Fen = "startpos");
  // Plays Move when it is legal and written as the engine writes moves (lower case, a promotion letter
  // only on a promotion); otherwise answers false and changes nothing.
  bool Play(std::string_view Move);

  // How the game has ended in the current position, None while it goes on. A mate or stalemate on the
  // move that completes the fifty moves or a repetition counts as the mate or stalemate.
  TEnding Ending();
  // 0 White, 1 Black.
  int SideToMove() const;
  const std::vector<std::string>& Moves() const { return Played; }
  std::vector<std::string> LegalMoves();

 private:
  std::unique_ptr<TState> S;
  // The position's key after each half-move, the set-up position's first.
  std::vector<uint64_t> Keys;
  std::vector<std::string> Played;
  int MaxPlies;
};
