// The least a program built as the game is does before its first frame: it
// starts, and has the floor page draw its label (floor.html?least).
#include <emscripten.h>

EM_JS(void, FloorLabel, (), { floorLabel(); });

int main() { FloorLabel(); }
