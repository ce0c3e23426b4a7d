#pragma once

namespace quintarel {

class Project;

// Plays round k (1..7): the Click handler of lblClick<k>.
void PlayRound(Project& project, int k);

}  // namespace quintarel
