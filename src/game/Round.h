#pragma once

namespace quintarel {

class GameForms;

// Plays round k (1..7): the Click handler of lblClick<k>.
void PlayRound(GameForms& project, int k);

}  // namespace quintarel
