#include "app/Backend.h"

int main(int argc, char** argv) { return quintarel::RunBackend(argc, argv); }
